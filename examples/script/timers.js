// Zentrix from JScript: timers and events, the buddy protocol, the control
// operations and the monitor window. Run it with zxscript, the script host in
// the release's tools folder (tools\x64\zxscript.exe timers.js): it pumps
// messages while the script waits (WScript.Sleep), connects events
// (WScript.ConnectObject) and gives the script a window of its own thread
// (WScript.WindowHandle).
var failures = 0;
function check(ok, what) {
    if (!ok) { WScript.Echo("FAILED: " + what); failures++; }
}
var timeTimerTimeUnitsMicroseconds = 0, timeTimerTimeUnitsSeconds = 1;
var timeTimerStatusStarted = 0, timeTimerStatusStopped = 1, timeTimerStatusEnded = 4;

function waitFor(cond, ms) {
    var deadline = new Date().getTime() + ms;
    while (!cond() && new Date().getTime() < deadline) WScript.Sleep(10);
}

var hwnd = WScript.WindowHandle;

// --- 1. Timers and events ----------------------------------------------
// JScript cannot hold records: AdditionalStr arrives undefined here, and a
// record argument is passed as null or as an object with the four fields.
var elapsed = [];
function tm_OnTimerStart(hWnd, TimerId, ElapseTime, AdditionalStr, Cancel) {
    WScript.Echo("OnTimerStart " + TimerId + " (" + ElapseTime + ")");
}
function tm_OnTimerElapse(hWnd, TimerId, ElapseTime, AdditionalStr) {
    WScript.Echo("OnTimerElapse " + TimerId);
    elapsed.push(TimerId);
}
var tm = WScript.CreateObject("Zentrix.clsVxTimeTimerMainA");
WScript.ConnectObject(tm, "tm_");
var items = tm.TimerGroups.Add(hwnd).TimerItems;
items.Add(1, { lLParam: 1, lMParam: 2, lHParam: 3, sComments: "first" }, 100);   // one-shot
items.Add(2, null, 150, timeTimerTimeUnitsMicroseconds, true, "example");          // repeating
waitFor(function () { return elapsed.length >= 2; }, 30000);
check(elapsed.join(";") == "1;2", "each timer notified once: " + elapsed.join(";"));
check(items.Item(1).Status == timeTimerStatusEnded, "timer 1 ended");
// TimerStart lets the repeating timer notify again, TimerStop silences it.
tm.TimerStart(hwnd, 2);
waitFor(function () { return elapsed.length >= 3; }, 30000);
check(elapsed.join(";") == "1;2;2", "timer 2 notified again after TimerStart");
tm.TimerStop(hwnd, 2);

// --- 2. Control operations ---------------------------------------------
items.Add(20, null, 5, timeTimerTimeUnitsSeconds);
var item = items.Item(items.Count);
check(item.TimerId == 20, "the new timer is the last of its group");
check(item.BalanceTime >= 3 && item.BalanceTime <= 5, "BalanceTime " + item.BalanceTime);
check(item.Percent >= 60 && item.Percent <= 100, "Percent " + item.Percent);
var pct = tm.GetPercentage(hwnd, 20);
check(pct >= 60 && pct <= 100, "GetPercentage " + pct);
tm.TimerStop(hwnd, 20);
WScript.Echo("after TimerStop: Status " + item.Status);
tm.TimerStart(hwnd, 20);
WScript.Echo("after TimerStart: Status " + item.Status);
tm.ResetTimer(hwnd, 20);
item = items.Item(items.Count);
WScript.Echo("after ResetTimer: timer " + item.TimerId + ", Status " + item.Status);
tm.TimerStop(hwnd, 20);

// --- 3. The buddy protocol ---------------------------------------------
// Any object with these two methods; while it is set, no events are raised.
// A JScript buddy cannot write Cancel back (use a VBScript or compiled one).
var calls = [];
var buddy = {
    czTimeTimerMain_OnTimerStart: function (hWnd, TimerId, ElapseTime, AdditionalStr, Cancel) {
        calls.push("start " + TimerId);
    },
    czTimeTimerMain_OnTimerElapse: function (hWnd, TimerId, ElapseTime, AdditionalStr) {
        calls.push("elapse " + TimerId);
    }
};
tm.BuddyObject = buddy;
items.Add(11, null, 100);
waitFor(function () { return calls.length >= 2; }, 30000);
WScript.Echo("buddy: " + calls.join(";"));
check(calls.join(";") == "start 11;elapse 11", "buddy calls");
// Assigning null empties BuddyObject: notifications go to the events again.
tm.BuddyObject = null;
check(tm.BuddyObject == null, "buddy cleared");

// --- 4. The monitor window ---------------------------------------------
tm.ShowTimerDialog(hwnd);
WScript.Sleep(1200);

if (failures) WScript.Quit(1);
WScript.Echo("done");
