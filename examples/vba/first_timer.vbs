' VBScript twin of the first VBA timer in the README ("A first timer in
' VBA"): the same calls in the same order, run by the test suite with the
' script host zxscript. Where the VBA has a class module with WithEvents,
' the script connects a handler with WScript.ConnectObject; where Excel gives
' Application.Hwnd, the host gives WScript.WindowHandle; MsgBox becomes Echo.
Option Explicit

' --- Class module "FirstTimer" ---
Dim tm

Sub Start(window)
    Set tm = WScript.CreateObject("Zentrix.clsVxTimeTimerMainA")
    WScript.ConnectObject tm, "tm_"
    tm.TimerGroups.Add(window).TimerItems.Add 5001, Empty, 2, 1     ' 1 = timeTimerTimeUnitsSeconds
End Sub

Dim elapsed : elapsed = 0
Sub tm_OnTimerElapse(hWnd, TimerId, ElapseTime, AdditionalStr)
    WScript.Echo "Timer " & TimerId & " elapsed"
    elapsed = elapsed + 1
End Sub

' --- Standard module ---
Sub StartFirstTimer()
    Start WScript.WindowHandle
End Sub

StartFirstTimer
' Office runs its message loop while it is idle; a script waits in Sleep.
Dim deadline : deadline = Timer + 30
Do While elapsed = 0 And Timer < deadline : WScript.Sleep 50 : Loop
WScript.Sleep 2500      ' a one-shot timer: no second notification
If elapsed <> 1 Then
    WScript.Echo "FAILED: " & elapsed & " notifications, expected 1"
    WScript.Quit 1
End If
