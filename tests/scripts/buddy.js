// A JScript client with an object literal as the buddy: the start and elapse
// calls with their arguments, AdditionalStr as an object whose fields the
// buddy reads and writes, a record given as null or as an object literal
// with the four fields, and a changed ElapseTime that changes nothing.
// (A JScript function cannot assign to its caller's variables, so a JScript
// buddy cannot cancel; buddy.vbs covers Cancel.)
var failures = 0;
function check(cond, what) {
    if (!cond) { WScript.Echo("FAILED: " + what); failures++; }
}
function fields(r) { return r.lLParam + "/" + r.lMParam + "/" + r.lHParam + "/" + r.sComments; }

var hwnd = WScript.WindowHandle;
var starts = 0, elapses = 0, events = 0;
var buddy = {
    czTimeTimerMain_OnTimerStart: function (hWnd, TimerId, ElapseTime, AdditionalStr, Cancel) {
        starts++;
        WScript.Echo("start " + TimerId + ": window " + (hWnd == hwnd) + ", ElapseTime " + ElapseTime +
                     ", Cancel " + Cancel + ", record " + fields(AdditionalStr));
        ElapseTime = 600000;
        AdditionalStr.lMParam = AdditionalStr.lMParam + 1000;
        AdditionalStr.sComments = AdditionalStr.sComments + "!";
    },
    czTimeTimerMain_OnTimerElapse: function (hWnd, TimerId, ElapseTime, AdditionalStr) {
        elapses++;
        WScript.Echo("elapse " + TimerId + ": window " + (hWnd == hwnd) + ", tick time " + (ElapseTime > 600) +
                     ", record " + fields(AdditionalStr));
        AdditionalStr.lHParam = AdditionalStr.lHParam + 1;
    }
};

var tm = WScript.CreateObject("Zentrix.clsVxTimeTimerMainA");
WScript.ConnectObject(tm, "tm_");
function tm_OnTimerStart() { events++; }
tm.BuddyObject = buddy;

var items = tm.TimerGroups.Add(hwnd).TimerItems;
items.Add(1, null, 30);
var rec = { lLParam: 7, lMParam: 8, lHParam: 9, sComments: "seven" };
items.Add(2, rec, 200, 0, false, "owner");
WScript.Echo("rec after Add: " + fields(rec));
check(starts == 2, "two start calls, got " + starts);
check(events == 0, "no OnTimerStart event while a buddy is set, got " + events);
check(items.Count == 2, "two timers, got " + items.Count);
check(items.Item(1).ElapseTime == 30, "stored ElapseTime " + items.Item(1).ElapseTime);
check(items.Item(2).Owner == "owner", "Owner " + items.Item(2).Owner);

var deadline = new Date().getTime() + 30000;  // only a tick that never comes waits this long
while (elapses < 2 && new Date().getTime() < deadline) WScript.Sleep(10);
check(elapses == 2, "two elapse calls, got " + elapses);
WScript.Echo("status " + items.Item(1).Status + " " + items.Item(2).Status);

if (failures) WScript.Quit(1);
WScript.Echo("done");
