' A runtime error ends the run with exit code 1 and is reported with its line.
WScript.Echo "before"
nothingHere.Frobnicate
WScript.Echo "after"
