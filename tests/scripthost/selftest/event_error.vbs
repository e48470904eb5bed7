' A runtime error in a handler of an event raised during a call fails the
' run; the call itself returns and the script goes on.
Sub src_Ping(number, text)
    Dim nothingHere
    nothingHere.Frobnicate
End Sub
Set src = WScript.CreateObject("ZxTest.EventSource")
WScript.ConnectObject src, "src_"
src.Ping 1, "now"
WScript.Echo "continues"
