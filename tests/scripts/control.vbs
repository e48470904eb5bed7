' A VBScript client of the control operations that passes its variables as
' they are, without parentheses: VBScript hands them over as VARIANT
' references, which the typed by-reference parameters accept.
Option Explicit
Dim failures : failures = 0
Sub Check(cond, what)
    If Not cond Then
        WScript.Echo "FAILED: " & what
        failures = failures + 1
    End If
End Sub

Dim tm, items, h, id, other, percent, result
Set tm = WScript.CreateObject("Zentrix.clsVxTimeTimerMainA")
h = WScript.WindowHandle
Set items = tm.TimerGroups.Add(h).TimerItems
id = 4
items.Add id, Empty, 60, 1, True, "control"

tm.TimerStop h, id
Check items.Item(1).Status = 1, "stopped: Status " & items.Item(1).Status
tm.TimerStart h, id
Check items.Item(1).Status = 0, "started: Status " & items.Item(1).Status
percent = tm.GetPercentage(h, id)
Check percent = 100, "a new 60 s timer has 100 percent to run, got " & percent
Check items.Item(1).Percent = 100, "Percent " & items.Item(1).Percent
result = tm.ResetTimer(h, id)
Check result = 0, "ResetTimer returns 0, got " & result
Check items.Count = 1 And items.Item(1).Owner = "", "the reset timer is registered anew without an owner"

' An identifier the window does not hold: GetPercentage fails with error 9.
other = 99
On Error Resume Next
percent = tm.GetPercentage(h, other)
Check Err.Number = 9, "GetPercentage of an unknown timer: error " & Err.Number
On Error GoTo 0

WScript.Echo "control operations done, " & failures & " failed"
If failures > 0 Then WScript.Quit 1
