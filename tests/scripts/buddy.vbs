' A VBScript client that receives the timer notifications through a buddy
' object (a Class instance) instead of events: the calls' arguments, Cancel,
' a changed ElapseTime that changes nothing, AdditionalStr as an object with
' readable and writable fields (what the start call writes is armed, and
' reaches every later elapse call), and the elapse calls while WScript.Sleep
' pumps. Setting BuddyObject to Nothing brings the events back.
Option Explicit
Dim failures : failures = 0
Sub Check(cond, what)
    If Not cond Then
        WScript.Echo "FAILED: " & what
        failures = failures + 1
    End If
End Sub

Dim hwnd : hwnd = WScript.WindowHandle

Class Buddy
    ' (Wine's VBScript takes one name per Public statement.)
    Public Starts
    Public Elapses
    Private Sub Class_Initialize
        Starts = 0
        Elapses = 0
    End Sub
    Public Sub czTimeTimerMain_OnTimerStart(hWnd, TimerId, ElapseTime, AdditionalStr, Cancel)
        Starts = Starts + 1
        WScript.Echo "start " & TimerId & ": window " & (hWnd = hwnd) & ", ElapseTime " & ElapseTime & _
                     ", Cancel " & Cancel & ", record " & AdditionalStr.lLParam & "/" & AdditionalStr.lMParam & _
                     "/" & AdditionalStr.lHParam & "/" & AdditionalStr.sComments
        If TimerId = 3 Then Cancel = True
        ElapseTime = 600000
        AdditionalStr.lMParam = AdditionalStr.lMParam + 1000
        AdditionalStr.sComments = AdditionalStr.sComments & "!"
    End Sub
    Public Sub czTimeTimerMain_OnTimerElapse(hWnd, TimerId, ElapseTime, AdditionalStr)
        Elapses = Elapses + 1
        WScript.Echo "elapse " & TimerId & ": window " & (hWnd = hwnd) & ", tick time " & (ElapseTime > 600) & _
                     ", record " & AdditionalStr.lLParam & "/" & AdditionalStr.lMParam & "/" & _
                     AdditionalStr.lHParam & "/" & AdditionalStr.sComments
        ' Written into the apartment's copy, which the next tick carries.
        AdditionalStr.lHParam = AdditionalStr.lHParam + 1
    End Sub
End Class

Dim starts : starts = 0
Sub tm_OnTimerStart(hWnd, TimerId, ElapseTime, AdditionalStr, Cancel)
    starts = starts + 1
End Sub

Dim tm, b, groups, group, items, deadline
Set tm = WScript.CreateObject("Zentrix.clsVxTimeTimerMainA")
WScript.ConnectObject tm, "tm_"
Set b = New Buddy
Set tm.BuddyObject = b
Check Not (tm.BuddyObject Is Nothing), "BuddyObject reads back"

Set groups = tm.TimerGroups
Set group = groups.Add(hwnd)
Set items = group.TimerItems

items.Add 1, Empty, 30
items.Add 2, Empty, 200
items.Add 3, Empty, 30
Check b.Starts = 3, "three start calls, got " & b.Starts
Check starts = 0, "no OnTimerStart event while a buddy is set, got " & starts
Check items.Count = 3, "three timers, got " & items.Count
Check items.Item(1).ElapseTime = 30, "stored ElapseTime " & items.Item(1).ElapseTime
Check items.Item(3).Status = 1, "timer 3 cancelled: Status " & items.Item(3).Status

deadline = Timer + 30  ' only a tick that never comes waits this long
Do While b.Elapses < 2 And Timer < deadline
    WScript.Sleep 10
Loop
WScript.Sleep 100
Check b.Elapses = 2, "two elapse calls (timer 3 was cancelled), got " & b.Elapses
WScript.Echo "status " & items.Item(1).Status & " " & items.Item(2).Status & " " & items.Item(3).Status

' Without a buddy the events are raised again.
Set tm.BuddyObject = Nothing
Check tm.BuddyObject Is Nothing, "BuddyObject cleared"
items.Add 4, Empty, 5000
Check starts = 1, "OnTimerStart event after the buddy was cleared, got " & starts
Check b.Starts = 3, "the former buddy is not called, got " & b.Starts

If failures > 0 Then WScript.Quit 1
WScript.Echo "done"
