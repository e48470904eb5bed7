' VBScript twin of the VBA listings in docs/guide-vba.md: the same modules,
' in the same order, with the same calls and the same logic, run by the test
' suite with zxscript (tools\x64\zxscript.exe office_timers.vbs in the
' release). VBScript differs from VBA in three places, and the twin says so
' where it matters:
' - Declare statements: the host stands in. WScript.WindowHandle is the
'   window that FormWindow and TimerWindow give, WScript.KillTimer the
'   platform's KillTimer.
' - WithEvents: each module connects its handlers with WScript.ConnectObject
'   and a prefix of its own; the handler passes the event to its object.
' - A form's labels are small classes with Caption and Width, and the form's
'   buttons are called by the script, as a user would click them.
' The last part, "What the user does", plays the steps of the guide and
' checks what happens.
Option Explicit

Const timeTimerTimeUnitsSeconds = 1

' --- Standard module "ZentrixWindows" ---------------------------------------
' [doc:ZentrixWindows]
Function FormWindow(form)
    FormWindow = WScript.WindowHandle
End Function

Function TimerWindow()
    TimerWindow = WScript.WindowHandle
End Function

Sub KillTimer(window, timerId)
    WScript.KillTimer window, timerId
End Sub
' [/doc:ZentrixWindows]

' --- Standard module "ZentrixService" ---------------------------------------
' [doc:ZentrixService]
Dim service : Set service = Nothing

Function TimerService()
    If service Is Nothing Then Set service = WScript.CreateObject("Zentrix.clsVxTimeTimerMainA")
    Set TimerService = service
End Function

Function TimersOf(window)
    Dim groups, i
    Set groups = TimerService().TimerGroups
    For i = 1 To groups.Count
        If groups.Item(i).hWnd = window Then
            Set TimersOf = groups.Item(i).TimerItems
            Exit Function
        End If
    Next
    Set TimersOf = groups.Add(window).TimerItems
End Function

Function TimerOf(window, timerId)
    Dim timers, i
    Set TimerOf = Nothing
    Set timers = TimersOf(window)
    For i = 1 To timers.Count
        If timers.Item(i).TimerId = timerId Then
            Set TimerOf = timers.Item(i)
            Exit Function
        End If
    Next
End Function

Sub DropWindow(window)
    Dim groups, i
    Set groups = TimerService().TimerGroups
    For i = groups.Count To 1 Step -1
        If groups.Item(i).hWnd = window Then groups.Remove i
    Next
End Sub

' WithEvents: a Set of a WithEvents variable disconnects the object it held
' and connects the new one to the handlers named prefix & event.
Function Connected(previous, object, prefix)
    If Not previous Is Nothing Then WScript.DisconnectObject previous
    If Not object Is Nothing Then WScript.ConnectObject object, prefix
    Set Connected = object
End Function
' [/doc:ZentrixService]

' --- Class module "Ticker" --------------------------------------------------
' [doc:Ticker]
Class Ticker
    Public tm                    ' WithEvents: the handlers are ticker_...
    Private window
    Private TICK_ID              ' VBScript classes have no constants
    Private NO_TIMER

    Private Sub Class_Initialize()
        Set tm = Nothing
        TICK_ID = 5001
        NO_TIMER = 0
    End Sub

    Public Sub Start()
        window = TimerWindow()
        Set tm = Connected(tm, TimerService(), "ticker_")
        If TimerOf(window, TICK_ID) Is Nothing Then
            TimersOf(window).Add TICK_ID, Empty, 5, timeTimerTimeUnitsSeconds, True, "Ticker"
        Else
            tm.ResetTimer window, TICK_ID
        End If
    End Sub

    Public Sub Pause()
        tm.TimerStop window, TICK_ID
    End Sub

    Public Sub Continue()
        tm.TimerStart window, TICK_ID
    End Sub

    Public Sub Restart()
        tm.ResetTimer window, TICK_ID
    End Sub

    Public Sub Quit()
        window = TimerWindow()
        KillTimer window, TICK_ID
        DropWindow window
        Set tm = Connected(tm, Nothing, "")
    End Sub

    Public Sub OnTimerElapse(hWnd, TimerId, ElapseTime, AdditionalStr)
        If hWnd <> window Or TimerId <> TICK_ID Then Exit Sub
        EveryFiveSeconds
        TimerId = NO_TIMER
    End Sub
End Class

Sub ticker_OnTimerElapse(hWnd, TimerId, ElapseTime, AdditionalStr)
    If Not fiveSeconds Is Nothing Then fiveSeconds.OnTimerElapse hWnd, TimerId, ElapseTime, AdditionalStr
End Sub
' [/doc:Ticker]

' --- Standard module "Macros" -----------------------------------------------
' [doc:Macros]
Dim fiveSeconds : Set fiveSeconds = Nothing

Sub StartTicker()
    If fiveSeconds Is Nothing Then Set fiveSeconds = New Ticker
    fiveSeconds.Start
End Sub

Sub PauseTicker()
    fiveSeconds.Pause
End Sub

Sub ContinueTicker()
    fiveSeconds.Continue
End Sub

Sub RestartTicker()
    fiveSeconds.Restart
End Sub

Sub StopTicker()
    If fiveSeconds Is Nothing Then Set fiveSeconds = New Ticker
    fiveSeconds.Quit
    Set fiveSeconds = Nothing
End Sub

Dim ticks : ticks = 0
Sub EveryFiveSeconds()
    ticks = ticks + 1            ' the twin counts where the VBA prints
    WScript.Echo "five seconds"
End Sub
' [/doc:Macros]

' --- ThisWorkbook -----------------------------------------------------------
' [doc:ThisWorkbook]
Sub Workbook_BeforeClose(Cancel)
    StopTicker
End Sub
' [/doc:ThisWorkbook]

' --- UserForm "CountdownForm" -----------------------------------------------
' [doc:CountdownForm]
Class Label
    Public Caption
    Public Width
End Class

Class CountdownForm
    Public Caption
    Public lblLeft
    Public lblTrack
    Public lblBar
    Public tm                    ' WithEvents: the handlers are form_...
    Private window
    Private COUNTDOWN_ID
    Private DISPLAY_ID
    Private NO_TIMER
    Private COUNTDOWN_SECONDS

    Private Sub Class_Initialize()
        COUNTDOWN_ID = 5101
        DISPLAY_ID = 5102
        NO_TIMER = 0
        COUNTDOWN_SECONDS = 10
        Caption = "Countdown"
        Set lblLeft = New Label
        Set lblTrack = New Label
        Set lblBar = New Label
        lblTrack.Width = 200
        lblBar.Width = 0
        window = 0
        Set tm = Nothing
    End Sub

    Public Sub UserForm_Activate()
        If window <> 0 Then Exit Sub
        window = FormWindow(Me)
        Set tm = Connected(tm, TimerService(), "form_")
        TimersOf(window).Add COUNTDOWN_ID, Empty, COUNTDOWN_SECONDS, timeTimerTimeUnitsSeconds, False, "Countdown"
        TimersOf(window).Add DISPLAY_ID, Empty, 1, timeTimerTimeUnitsSeconds, True, "Countdown display"
        ShowRemaining
    End Sub

    Public Sub OnTimerElapse(hWnd, TimerId, ElapseTime, AdditionalStr)
        If hWnd <> window Then Exit Sub
        Select Case TimerId
        Case DISPLAY_ID
            ShowRemaining
            TimerId = NO_TIMER
        Case COUNTDOWN_ID
            tm.TimerStop window, DISPLAY_ID
            ShowRemaining
            lblLeft.Caption = "Time is up"
            WScript.Echo lblLeft.Caption
        End Select
    End Sub

    Private Sub ShowRemaining()
        Dim countdown
        Set countdown = TimerOf(window, COUNTDOWN_ID)
        lblLeft.Caption = countdown.BalanceTime & " s left"
        lblBar.Width = lblTrack.Width * countdown.IncreasingBalanceTime / countdown.ElapseTime
    End Sub

    Public Sub cmdStop_Click()
        tm.TimerStop window, COUNTDOWN_ID
        tm.TimerStop window, DISPLAY_ID
    End Sub

    Public Sub cmdResume_Click()
        tm.TimerStart window, COUNTDOWN_ID
        tm.TimerStart window, DISPLAY_ID
    End Sub

    Public Sub cmdReset_Click()
        tm.ResetTimer window, COUNTDOWN_ID
        tm.ResetTimer window, DISPLAY_ID
        ShowRemaining
    End Sub

    Public Sub UserForm_QueryClose(Cancel, CloseMode)
        KillTimer window, DISPLAY_ID
        KillTimer window, COUNTDOWN_ID
        DropWindow window
        Set tm = Connected(tm, Nothing, "")
    End Sub
End Class

Dim form : Set form = Nothing
Sub form_OnTimerElapse(hWnd, TimerId, ElapseTime, AdditionalStr)
    If Not form Is Nothing Then form.OnTimerElapse hWnd, TimerId, ElapseTime, AdditionalStr
End Sub
' [/doc:CountdownForm]

' --- What the user does (the twin's checks) ---------------------------------
Dim failures : failures = 0
Sub Check(ok, what)
    If Not ok Then
        WScript.Echo "FAILED: " & what
        failures = failures + 1
    End If
End Sub

' Office dispatches the ticks while it is idle; the script waits in Sleep.
' Waits until `ticks` reaches `count` or `seconds` pass (generous: only a
' tick that never comes waits that long).
Sub WaitForTicks(count, seconds)
    Dim deadline : deadline = Timer + seconds
    Do While ticks < count And Timer < deadline : WScript.Sleep 50 : Loop
End Sub

Dim since

' Every five seconds, three times.
StartTicker
WaitForTicks 3, 60
Check ticks = 3, "three notifications in fifteen seconds, got " & ticks
' Paused: the ticks go on, silently.
PauseTicker
WScript.Sleep 6000
Check ticks = 3, "no notification while paused, got " & ticks
' Resumed: the next tick notifies.
ContinueTicker
WaitForTicks 4, 30
Check ticks = 4, "one notification after resuming, got " & ticks
' Restarted: a full five seconds from now.
RestartTicker
since = Timer
WaitForTicks 5, 30
Check ticks = 5, "one notification after restarting, got " & ticks
Check Timer - since >= 4, "the restart began a new interval (" & (Timer - since) & " s)"

' A reset of the VBA project while the ticker runs: the module variables are
' gone and the handlers disconnected; the platform timer ticks on. Starting
' again creates a new service object (an empty registry) and takes the
' timer over: no "Invalid Handle", and it notifies again.
WScript.DisconnectObject service
Set fiveSeconds = Nothing
Set service = Nothing
StartTicker
WaitForTicks 6, 30
Check ticks = 6, "the ticker started again after the reset, got " & ticks

' The workbook closes: no notification afterwards, and a service object made
' later by other code (which empties the registry) meets no leftover tick.
Workbook_BeforeClose False
Set service = Nothing
TimerService
WScript.Sleep 6000
Check ticks = 6, "no notification after the workbook closed, got " & ticks

' The countdown form: shown, stopped, resumed, reset, run out, closed.
Dim shown
Set form = New CountdownForm
form.UserForm_Activate
' 10 s, or 9 when the clock's second turned between adding and reading.
Check form.lblLeft.Caption = "10 s left" Or form.lblLeft.Caption = "9 s left", "a new countdown: " & form.lblLeft.Caption
' The display moves once a second: the bar grows, long before the end.
since = Timer
Do While form.lblBar.Width < 20 And Timer < since + 30 : WScript.Sleep 50 : Loop
Check form.lblBar.Width >= 20 And form.lblBar.Width < 200, "the bar moves: " & form.lblBar.Width
form.cmdStop_Click
shown = form.lblLeft.Caption
WScript.Sleep 2500
Check form.lblLeft.Caption = shown, "stopped: the label stays at " & shown & ", not " & form.lblLeft.Caption
form.cmdResume_Click
since = Timer
Do While form.lblLeft.Caption = shown And Timer < since + 30 : WScript.Sleep 50 : Loop
Check form.lblLeft.Caption <> shown, "resumed: the label moves on from " & shown
form.cmdReset_Click
Check form.lblBar.Width <= 20, "reset: the bar starts again, at " & form.lblBar.Width
since = Timer
Do While form.lblLeft.Caption <> "Time is up" And Timer < since + 40 : WScript.Sleep 50 : Loop
Check form.lblLeft.Caption = "Time is up", "the countdown ran out: " & form.lblLeft.Caption
Check form.lblBar.Width >= 180, "the bar is full: " & form.lblBar.Width
form.UserForm_QueryClose 0, 0
WScript.Sleep 1500
Check form.lblLeft.Caption = "Time is up", "nothing moves after the form closed"

If failures > 0 Then WScript.Quit 1
WScript.Echo "done"
