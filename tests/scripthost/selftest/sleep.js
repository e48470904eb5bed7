// Sleep waits at least as long as asked (how much longer depends on the
// machine's load), and Sleep(0) returns.
function check(cond, what) { if (!cond) throw new Error("check failed: " + what); }
var start = new Date();
WScript.Sleep(300);
var took = new Date() - start;
check(took >= 280, "Sleep(300) took " + took + " ms");
WScript.Sleep(0);
