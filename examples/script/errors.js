// How Zentrix errors reach a JScript caller: e.number is the full HRESULT
// (0x800A0000 plus the error number, as a negative number), e.description
// the error's text.
var tm = WScript.CreateObject("Zentrix.clsVxTimeTimerMainA");
var items = tm.TimerGroups.Add(WScript.WindowHandle).TimerItems;

// [doc:catch]
function report(e) {
    var hresult = (e.number >>> 0).toString(16);      // e.number is negative: 0x800A0009 is -2146828279
    WScript.Echo("0x" + hresult + " = error " + (e.number & 0xFFFF) + ": " + e.description);
}
try { var t = items.Item(99); } catch (e) { report(e); }      // no timer at position 99
try { items.Add(7, null, 2147484, 1); } catch (e) { report(e); } // more than 32 bits of milliseconds
try { t = items.Item("first"); } catch (e) { report(e); }     // a position, not a name
// [/doc:catch]
WScript.Echo(items.Count + " timers");
