// Progress binding from JScript: the bar an object literal, the timer control
// the test suite's ZxTest.TimerControl (zxevsource.dll). The bar runs from 0
// to the interval while the timer runs; assigning null unbinds the control.
// The timer is long, so that the bar has moved well before it ends, whatever
// the machine's load.
var failures = 0;
function check(ok, what) {
    if (!ok) { WScript.Echo("FAILED: " + what); failures++; }
}
function waitFor(cond, ms) {
    var deadline = new Date().getTime() + ms;
    while (!cond() && new Date().getTime() < deadline) WScript.Sleep(10);
}
var elapsed = [];
function tm_OnTimerElapse(hWnd, TimerId, ElapseTime, AdditionalStr) {
    WScript.Echo("OnTimerElapse " + TimerId);
    elapsed.push(TimerId);
}
var hwnd = WScript.WindowHandle;
var tm = WScript.CreateObject("Zentrix.clsVxTimeTimerMainA");
WScript.ConnectObject(tm, "tm_");
var items = tm.TimerGroups.Add(hwnd).TimerItems;
var bar = { Min: 0, Max: 0, Value: 0 };
var control = WScript.CreateObject("ZxTest.TimerControl");
items.Add(30, null, 30, 1);                             // 30 seconds
var item = items.Item(items.Count);
item.ShowProgressBar(bar, control);
WScript.Echo("bar from " + bar.Min + " to " + bar.Max);
check(bar.Value == 0, "the bar starts at the beginning: " + bar.Value);
waitFor(function () { return bar.Value >= 1; }, 25000);
check(bar.Value >= 1 && bar.Value < 30, "the bar moved with the timer: " + bar.Value);
check(elapsed.length == 0, "the timer is still running");
tm.TimerStop(hwnd, 30);                                 // the bar stops with it
var stopped = bar.Value;
WScript.Sleep(1100);
check(bar.Value == stopped, "the bar stays where the stopped timer left it: " + bar.Value);
item.TimerObj = null;                                   // unbinds the control
check(item.TimerObj == null, "TimerObj cleared");

if (failures) WScript.Quit(1);
WScript.Echo("done");
