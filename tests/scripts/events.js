// A JScript client that connects the service's events with
// WScript.ConnectObject and receives tm_OnTimerStart and tm_OnTimerElapse
// (JScript holds no records, so AdditionalStr arrives undefined).
var failures = 0;
function check(cond, what) {
    if (!cond) { WScript.Echo("FAILED: " + what); failures++; }
}

var hwnd = WScript.WindowHandle;
var log = [];
function tm_OnTimerStart(hWnd, TimerId, ElapseTime, AdditionalStr, Cancel) {
    WScript.Echo("start " + TimerId + ": window " + (hWnd == hwnd) + ", ElapseTime " + ElapseTime +
                 ", Cancel " + Cancel + ", record " + typeof AdditionalStr);
}
function tm_OnTimerElapse(hWnd, TimerId, ElapseTime, AdditionalStr) {
    WScript.Echo("elapse " + TimerId + ": window " + (hWnd == hwnd) + ", tick time " + (ElapseTime > 600));
    log.push(TimerId);
}

var tm = WScript.CreateObject("Zentrix.clsVxTimeTimerMainA");
WScript.ConnectObject(tm, "tm_");
var items = tm.TimerGroups.Add(hwnd).TimerItems;
items.Add(1, null, 30);
items.Add(2, { lLParam: 1, lMParam: 2, lHParam: 3, sComments: "two" }, 150, 0, true);

var deadline = new Date().getTime() + 30000;  // only a tick that never comes waits this long
while (log.length < 2 && new Date().getTime() < deadline) WScript.Sleep(10);
WScript.Sleep(200);  // the repeating timer 2 ticks again, without notifying
check(log.join(";") == "1;2", "one elapse each, in order: " + log.join(";"));
WScript.Echo("status " + items.Item(1).Status + " " + items.Item(2).Status);

if (failures) WScript.Quit(1);
WScript.Echo("done");
