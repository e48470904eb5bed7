' Progress binding from VBScript: a bar written as a VBScript class, moved by
' the ticks of the test suite's timer control (ZxTest.TimerControl, in
' zxevsource.dll). ShowProgressBar sets the bar's range to the timer's
' interval in its own unit, and each tick of the control moves the bar to the
' time that has passed while the timer runs.
Option Explicit
Dim failures : failures = 0
Sub Check(ok, what)
    If Not ok Then
        WScript.Echo "FAILED: " & what
        failures = failures + 1
    End If
End Sub

Dim elapsed : elapsed = ""
Sub tm_OnTimerElapse(hWnd, TimerId, ElapseTime, AdditionalStr)
    WScript.Echo "OnTimerElapse " & TimerId
    elapsed = elapsed & TimerId & ";"
End Sub

Class ProgressBar
    Public Min
    Public Max
    Public Value
End Class

Dim hwnd : hwnd = WScript.WindowHandle
Dim tm : Set tm = WScript.CreateObject("Zentrix.clsVxTimeTimerMainA")
WScript.ConnectObject tm, "tm_"
Dim items : Set items = tm.TimerGroups.Add(hwnd).TimerItems
Dim bar : Set bar = New ProgressBar
Dim control : Set control = WScript.CreateObject("ZxTest.TimerControl")
items.Add 30, Empty, 2, 1                                ' 2 seconds
Dim item : Set item = items.Item(items.Count)
item.ShowProgressBar bar, control
WScript.Echo "bar from " & bar.Min & " to " & bar.Max
Dim deadline : deadline = Timer + 4
Do While elapsed = "" And Timer < deadline : WScript.Sleep 10 : Loop
Check bar.Value >= 1 And bar.Value <= 2, "the bar moved with the timer: " & bar.Value
Set item.TimerObj = Nothing                              ' unbinds the control
Check item.TimerObj Is Nothing, "TimerObj cleared"

If failures > 0 Then WScript.Quit 1
WScript.Echo "done"
