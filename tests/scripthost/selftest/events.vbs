' ConnectObject from VBScript: values a handler assigns to its by-reference
' arguments go back to the event source (a record is a copy that does not).
Sub Check(cond, what)
    If Not cond Then Err.Raise 5, , "check failed: " & what
End Sub

Dim log
Sub src_Ping(number, text)
    log = log & "Ping " & number & " " & text & ";"
End Sub
Sub SRC_CHANGE(number, flag, text, anything, record)
    log = log & "Change " & number & " " & flag & " " & text & " " & anything & " " & VarType(record) & ";"
    number = number + 1
    flag = Not flag
    text = text & "!"
    anything = "any"
    record = Empty
End Sub

Set src = WScript.CreateObject("ZxTest.EventSource")
WScript.ConnectObject src, "src_"
src.Ping 1, "one"
after = src.Change(5, True, "text", 2.5, 7)
Check after = "6|False|text!|any|7|text", "written back: " & after
Check log = "Ping 1 one;Change 5 True text 2.5 36;", "log: " & log

src.PingLater WScript.WindowHandle, 20, 3
deadline = Timer + 30
Do While InStr(log, "later") = 0 And Timer < deadline
    WScript.Sleep 10
Loop
Check InStr(log, "Ping 3 later;") > 0, "timer event: " & log
