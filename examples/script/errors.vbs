' How Zentrix errors reach a VBScript (and VBA) caller: Err.Number is the
' error number, Err.Description its text and Err.Source "Zentrix".
Option Explicit
Dim tm, items, t
Set tm = WScript.CreateObject("Zentrix.clsVxTimeTimerMainA")
Set items = tm.TimerGroups.Add(WScript.WindowHandle).TimerItems

' [doc:catch]
On Error Resume Next
Set t = items.Item(99)                            ' no timer at position 99
WScript.Echo Err.Number & ": " & Err.Description & " (" & Err.Source & ")"
Err.Clear
items.Add 7, Empty, 2147484, 1                    ' seconds: more than 32 bits of milliseconds
WScript.Echo Err.Number & ": " & Err.Description
Err.Clear
Set t = items.Item("first")                       ' a position, not a name
WScript.Echo Err.Number & ": " & Err.Description
On Error GoTo 0
' [/doc:catch]
WScript.Echo items.Count & " timers"
