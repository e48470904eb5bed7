// An error inside an event handler fails the run, and the Sleep that waits
// for more events ends at once instead of after 30 s.
var src = WScript.CreateObject("ZxTest.EventSource");
WScript.ConnectObject(src, "src_");
function src_Ping(number, text) {
    if (number == 2) throw new Error("handler failed on purpose");
    WScript.Echo("Ping", number);
}
src.Ping(1, "now");
src.PingLater(0, 20, 2);
WScript.Sleep(30000);
WScript.Echo("after");
