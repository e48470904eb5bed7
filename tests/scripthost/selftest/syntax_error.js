// A syntax error: nothing runs.
WScript.Echo("before");
var = ;
