' Creates the timer service by ProgID and uses it; any failure ends the
' script host with a non-zero exit code.
Dim tm : Set tm = CreateObject("Zentrix.clsVxTimeTimerMainA")
WScript.Echo "created, " & tm.TimerGroups.Count & " groups"
