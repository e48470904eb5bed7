' Progress binding from VBScript: a bar written as a VBScript class, moved by
' the ticks of the test suite's timer control (ZxTest.TimerControl, in
' zxevsource.dll). ShowProgressBar sets the bar's range to the timer's
' interval in its own unit, and each tick of the control moves the bar to the
' time that has passed while the timer runs. The timer is long, so that the
' bar has moved well before the timer ends, whatever the machine's load.
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
items.Add 30, Empty, 30, 1                               ' 30 seconds
Dim item : Set item = items.Item(items.Count)
item.ShowProgressBar bar, control
WScript.Echo "bar from " & bar.Min & " to " & bar.Max
Check bar.Value = Empty Or bar.Value = 0, "the bar starts at the beginning: " & bar.Value
Dim deadline : deadline = Timer + 25
Do While bar.Value < 1 And Timer < deadline : WScript.Sleep 10 : Loop
Check bar.Value >= 1 And bar.Value < 30, "the bar moved with the timer: " & bar.Value
Check elapsed = "", "the timer is still running"
tm.TimerStop hwnd, 30                                    ' the bar stops with it
Dim stopped : stopped = bar.Value
WScript.Sleep 1100
Check bar.Value = stopped, "the bar stays where the stopped timer left it: " & bar.Value
Set item.TimerObj = Nothing                              ' unbinds the control
Check item.TimerObj Is Nothing, "TimerObj cleared"

If failures > 0 Then WScript.Quit 1
WScript.Echo "done"
