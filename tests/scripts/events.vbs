' A VBScript client that connects the service's events with
' WScript.ConnectObject: tm_OnTimerStart with its arguments, Cancel = True
' cancelling, a changed TimerId that the arming follows, and tm_OnTimerElapse
' while WScript.Sleep pumps.
Option Explicit
Dim failures : failures = 0
Sub Check(cond, what)
    If Not cond Then
        WScript.Echo "FAILED: " & what
        failures = failures + 1
    End If
End Sub

Dim hwnd : hwnd = WScript.WindowHandle
Dim elapsed : elapsed = ""

Sub tm_OnTimerStart(hWnd, TimerId, ElapseTime, AdditionalStr, Cancel)
    WScript.Echo "start " & TimerId & ": window " & (hWnd = hwnd) & ", ElapseTime " & ElapseTime & _
                 ", Cancel " & Cancel & ", record type " & VarType(AdditionalStr)
    If TimerId = 3 Then Cancel = True
    If TimerId = 5 Then TimerId = 6
    ElapseTime = 600000
End Sub

Sub tm_OnTimerElapse(hWnd, TimerId, ElapseTime, AdditionalStr)
    WScript.Echo "elapse " & TimerId & ": window " & (hWnd = hwnd) & ", tick time " & (ElapseTime > 600)
    elapsed = elapsed & TimerId & ";"
End Sub

Dim tm, items, id, deadline
Set tm = WScript.CreateObject("Zentrix.clsVxTimeTimerMainA")
WScript.ConnectObject tm, "tm_"
Set items = tm.TimerGroups.Add(hwnd).TimerItems

items.Add 1, Empty, 2, 1            ' 2 seconds: OnTimerStart carries 2
items.Add 3, Empty, 30
id = 5
items.Add id, Null, 30, 0, False, "renamed"
Check id = 6, "the handler's TimerId comes back in the caller's variable, got " & id
Check items.Item(2).Status = 1, "timer 3 cancelled: Status " & items.Item(2).Status
Check items.Item(3).TimerId = 5, "the stored timer keeps its identifier, got " & items.Item(3).TimerId

deadline = Timer + 30  ' only a tick that never comes waits this long
Do While elapsed = "" And Timer < deadline
    WScript.Sleep 10
Loop
WScript.Sleep 100
Check elapsed = "6;", "one elapse, for the renamed timer: " & elapsed
' Timer 6 is not registered, so no stored timer changed.
WScript.Echo "status " & items.Item(1).Status & " " & items.Item(2).Status & " " & items.Item(3).Status

If failures > 0 Then WScript.Quit 1
WScript.Echo "done"
