' The basics of basics.js for VBScript, including On Error Resume Next.
Sub Check(cond, what)
    If Not cond Then Err.Raise 5, , "check failed: " & what
End Sub

Set d = WScript.CreateObject("Scripting.Dictionary")
d.Add "one", 1
d.Add "two", "zwei"
Check d.Count = 2, "Count"
Check d.Item("two") = "zwei", "Item"

WScript.Echo "words", 42, -1.5, True, Null, Empty
Dim v : v = "by reference"
WScript.Echo v
wscript.echo "lower-case member"
Check LCase(Right(WScript.ScriptFullName, 11)) = "\basics.vbs", "ScriptFullName"

On Error Resume Next
WScript.CreateObject "ZxTest.NoSuchClass"
Check Err.Number <> 0, "CreateObject of an unknown class raises"
On Error GoTo 0
WScript.Echo "end"
