// Progress binding from JScript: the bar an object literal, the timer control
// the test suite's ZxTest.TimerControl (zxevsource.dll). The bar runs from 0
// to the interval while the timer runs; assigning null unbinds the control.
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
items.Add(30, null, 2, 1);                              // 2 seconds
var item = items.Item(items.Count);
item.ShowProgressBar(bar, control);
WScript.Echo("bar from " + bar.Min + " to " + bar.Max);
waitFor(function () { return elapsed.length > 0; }, 4000);
check(bar.Value >= 1 && bar.Value <= 2, "the bar moved with the timer: " + bar.Value);
item.TimerObj = null;                                   // unbinds the control
check(item.TimerObj == null, "TimerObj cleared");

if (failures) WScript.Quit(1);
WScript.Echo("done");
