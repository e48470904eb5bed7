// WScript.Quit(3) ends the run at once with exit code 3, even inside try.
WScript.Echo("before");
try {
    WScript.Quit(3);
} catch (e) {
}
WScript.Echo("after");
