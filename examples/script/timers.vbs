' Zentrix from VBScript: timers and events, the buddy protocol, the control
' operations and the monitor window. Run it with zxscript, the script host in
' the release's tools folder (tools\x64\zxscript.exe timers.vbs): it pumps
' messages while the script waits (WScript.Sleep), connects events
' (WScript.ConnectObject) and gives the script a window of its own thread to
' register timers against (WScript.WindowHandle). Windows' cscript and wscript
' have no such window, so timers cannot tick for them.
Option Explicit
Dim failures : failures = 0
Sub Check(ok, what)
    If Not ok Then
        WScript.Echo "FAILED: " & what
        failures = failures + 1
    End If
End Sub

Const timeTimerTimeUnitsMicroseconds = 0   ' counted as milliseconds
Const timeTimerTimeUnitsSeconds = 1
Const timeTimerStatusStarted = 0
Const timeTimerStatusStopped = 1
Const timeTimerStatusEnded = 4

Dim hwnd : hwnd = WScript.WindowHandle

' --- 1. Timers and events -------------------------------------------------
' Event handlers are Subs named <prefix><event>; ConnectObject binds them.
Dim elapsed : elapsed = ""
Sub tm_OnTimerStart(hWnd, TimerId, ElapseTime, AdditionalStr, Cancel)
    WScript.Echo "OnTimerStart " & TimerId & " (" & ElapseTime & ")"
    If TimerId = 3 Then Cancel = True          ' never armed
End Sub
Sub tm_OnTimerElapse(hWnd, TimerId, ElapseTime, AdditionalStr)
    WScript.Echo "OnTimerElapse " & TimerId
    elapsed = elapsed & TimerId & ";"
End Sub

' Ticks, events and buddy calls all run while the script waits in
' WScript.Sleep, which pumps the thread's messages.
Dim deadline

Dim tm, items
Set tm = WScript.CreateObject("Zentrix.clsVxTimeTimerMainA")
WScript.ConnectObject tm, "tm_"
Set items = tm.TimerGroups.Add(hwnd).TimerItems

' Add TimerId, record, interval[, units[, repeat[, owner]]]. The record is an
' AdditionalArguStru: pass Empty, or any object with the properties lLParam,
' lMParam, lHParam and sComments.
Class Fields
    Public lLParam
    Public lMParam
    Public lHParam
    Public sComments
End Class
Dim rec : Set rec = New Fields
rec.lLParam = 1 : rec.lMParam = 2 : rec.lHParam = 3 : rec.sComments = "first"
items.Add 1, rec, 100                                    ' one-shot, 100 ms
items.Add 2, Empty, 150, timeTimerTimeUnitsMicroseconds, True, "example"   ' repeating
items.Add 3, Empty, 100                                  ' cancelled above
deadline = Timer + 30
Do While Len(elapsed) < 4 And Timer < deadline : WScript.Sleep 10 : Loop
WScript.Sleep 100
Check elapsed = "1;2;", "each timer notified once: " & elapsed
Check items.Count = 3, "three timers registered"
Check items.Item(1).Status = timeTimerStatusEnded, "timer 1 ended"
Check items.Item(3).Status = timeTimerStatusStopped, "timer 3 cancelled"
Check InStr(elapsed, "3;") = 0, "timer 3 never elapsed"
' A repeating timer goes on ticking silently once notified; TimerStart makes
' its next tick notify again, TimerStop silences it.
tm.TimerStart hwnd, 2
elapsed = ""
deadline = Timer + 30
Do While elapsed = "" And Timer < deadline : WScript.Sleep 10 : Loop
Check elapsed = "2;", "timer 2 notified again after TimerStart"
tm.TimerStop hwnd, 2

' --- 2. The buddy protocol ------------------------------------------------
' With BuddyObject set, the service calls these methods instead of raising
' the events. A script buddy may change AdditionalStr's fields and Cancel.
' [doc:buddy]
Class Buddy
    Public Calls
    Public Sub czTimeTimerMain_OnTimerStart(hWnd, TimerId, ElapseTime, AdditionalStr, Cancel)
        Calls = Calls & "start " & TimerId & ";"
        AdditionalStr.sComments = "from the buddy"
    End Sub
    Public Sub czTimeTimerMain_OnTimerElapse(hWnd, TimerId, ElapseTime, AdditionalStr)
        Calls = Calls & "elapse " & TimerId & ";"
    End Sub
End Class
' [/doc:buddy]
Dim b : Set b = New Buddy
b.Calls = ""
Set tm.BuddyObject = b
items.Add 11, Empty, 100
deadline = Timer + 30
Do While InStr(b.Calls, "elapse") = 0 And Timer < deadline : WScript.Sleep 10 : Loop
WScript.Echo "buddy: " & b.Calls
Check b.Calls = "start 11;elapse 11;", "buddy calls"
Set tm.BuddyObject = Nothing                             ' events again

' --- 3. Control operations -----------------------------------------------
items.Add 20, Empty, 5, timeTimerTimeUnitsSeconds        ' 5 seconds
Dim item : Set item = items.Item(items.Count)
Check item.TimerId = 20, "the new timer is the last of its group"
' BalanceTime is the time still to run in the timer's unit, Percent and
' GetPercentage the share of the interval still to run.
Check item.BalanceTime >= 3 And item.BalanceTime <= 5, "BalanceTime " & item.BalanceTime
Check item.Percent >= 60 And item.Percent <= 100, "Percent " & item.Percent
Dim pct : pct = tm.GetPercentage(hwnd, 20)
Check pct >= 60 And pct <= 100, "GetPercentage " & pct
tm.TimerStop hwnd, 20
WScript.Echo "after TimerStop: Status " & item.Status
tm.TimerStart hwnd, 20
WScript.Echo "after TimerStart: Status " & item.Status
' ResetTimer registers the timer again from its settings (OnTimerStart fires).
tm.ResetTimer hwnd, 20
Set item = items.Item(items.Count)
WScript.Echo "after ResetTimer: timer " & item.TimerId & ", Status " & item.Status
tm.TimerStop hwnd, 20

' --- 4. The monitor window ------------------------------------------------
' Opens "Orvanta Timer Service Manager" listing this window's timers; it
' refreshes once a second while the script pumps, and closes with the process.
tm.ShowTimerDialog hwnd
WScript.Sleep 1200

If failures > 0 Then WScript.Quit 1
WScript.Echo "done"
