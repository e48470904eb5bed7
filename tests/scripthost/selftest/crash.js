// A crash inside a call ends the run at once with exit code 255.
var src = WScript.CreateObject("ZxTest.EventSource");
WScript.Echo("before");
src.Crash();
WScript.Echo("after");
