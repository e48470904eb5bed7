// Sleep waits about as long as asked.
function check(cond, what) { if (!cond) throw new Error("check failed: " + what); }
var start = new Date();
WScript.Sleep(300);
var took = new Date() - start;
check(took >= 280 && took < 3000, "Sleep(300) took " + took + " ms");
start = new Date();
WScript.Sleep(0);
check(new Date() - start < 1000, "Sleep(0) returns at once");
