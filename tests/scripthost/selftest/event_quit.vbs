' WScript.Quit inside a handler of a timer event ends the run with its code.
Sub src_Ping(number, text)
    WScript.Quit number
End Sub
Set src = WScript.CreateObject("ZxTest.EventSource")
WScript.ConnectObject src, "src_"
src.PingLater 0, 20, 6
WScript.Sleep 30000
WScript.Echo "after"
