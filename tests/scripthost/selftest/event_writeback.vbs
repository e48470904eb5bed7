' A handler that leaves a value its by-reference argument cannot take (a text
' in a VARIANT_BOOL) fails the run.
Sub src_Change(number, flag, text, anything, record)
    flag = "not a boolean"
End Sub
Set src = WScript.CreateObject("ZxTest.EventSource")
WScript.ConnectObject src, "src_"
WScript.Echo src.Change(1, True, "t", "a", 2)
