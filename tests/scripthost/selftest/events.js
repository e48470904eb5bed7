// ConnectObject: events of ZxTest.EventSource reach the functions named
// prefix + event name, with their arguments; timer events arrive while Sleep
// pumps messages; DisconnectObject stops them.
function check(cond, what) { if (!cond) throw new Error("check failed: " + what); }

var src = WScript.CreateObject("ZxTest.EventSource");
WScript.ConnectObject(src, "src_");
var log = [];
function src_Ping(number, text) { log.push("Ping " + number + " " + text); }
function src_Change(number, flag, text, anything, record) {
    log.push("Change " + number + " " + flag + " " + text + " " + anything + " " + typeof record);
    number = 100;  // JScript arguments are values: nothing comes back
    flag = false;
}

src.Ping(1, "one");
check(log.join(";") == "Ping 1 one", "Ping: " + log.join(";"));
var after = src.Change(5, true, "text", 2.5, 7);
check(log[1] == "Change 5 true text 2.5 undefined", "Change arguments (a record arrives empty): " + log[1]);
check(after == "5|True|text|2.5|7|text", "Change leaves the arguments as they were: " + after);

// Handler names match in any case; an event without a handler is ignored.
var other = WScript.CreateObject("ZxTest.EventSource");
WScript.ConnectObject(other, "OTHER_");
var sum = 0;
function other_ping(number, text) { sum += number; }
other.Ping(2, "x");
check(other.Change(1, false, "t", "a", 3) == "1|False|t|a|3|t", "unhandled Change");
check(sum == 2, "case-insensitive handler: " + sum);

// Timer events (a thread timer and a timer of WScript.WindowHandle) come
// only while Sleep dispatches messages.
var hwnd = WScript.WindowHandle;
check(hwnd != 0 && hwnd == WScript.WindowHandle, "WindowHandle is stable: " + hwnd);
src.PingLater(0, 30, 2);
src.PingLater(hwnd, 30, 3);
var spin = new Date().getTime() + 200;
while (new Date().getTime() < spin) {}
check(log.length == 2, "no timer event before Sleep: " + log.join(";"));
var deadline = new Date().getTime() + 30000;
while (log.length < 4 && new Date().getTime() < deadline) WScript.Sleep(10);
check(log.slice(2).sort().join(";") == "Ping 2 later;Ping 3 later", "timer events: " + log.join(";"));

WScript.DisconnectObject(src);
src.Ping(4, "four");
check(log.length == 4, "an event after DisconnectObject: " + log.join(";"));
other.Ping(5, "y");
check(sum == 7, "DisconnectObject(src) left other connected: " + sum);

var threw = false;
try { WScript.ConnectObject(WScript.CreateObject("Scripting.Dictionary"), "d_"); } catch (e) { threw = true; }
check(threw, "ConnectObject on an object without events throws");
