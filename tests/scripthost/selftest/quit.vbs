' WScript.Quit without a code ends the run with exit code 0.
WScript.Echo "before"
On Error Resume Next
WScript.Quit
WScript.Echo "after"
