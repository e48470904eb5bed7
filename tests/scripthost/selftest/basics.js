// Echo formatting, CreateObject with a built-in class, member names in any
// case, ScriptFullName, and an error the script handles itself (which must
// not fail the run).
function check(cond, what) { if (!cond) throw new Error("check failed: " + what); }

var d = WScript.CreateObject("Scripting.Dictionary");
d.Add("one", 1);
d.Add("two", "zwei");
check(d.Count == 2, "Count");
check(d.Item("two") == "zwei", "Item");
check(d.Exists("one") && !d.Exists("three"), "Exists");

WScript.Echo("words", 42, -1.5, true, false, null);
WScript.Echo();
WScript.echo("lower-case member");
WScript.ECHO("non-ASCII: \u00e9\u20ac");

var full = WScript.ScriptFullName;
check(/basics\.js$/i.test(full), "ScriptFullName ends in the script's name: " + full);

try {
    WScript.CreateObject("ZxTest.NoSuchClass");
    check(false, "CreateObject of an unknown class throws");
} catch (e) {
    check(e.number == -2147221005, "CO_E_CLASSSTRING from CreateObject, got " + e.number);
}
WScript.Echo("end");
