' A VBScript Class instance with the four fields of AdditionalArguStru stands
' in for the record in TimerItems.Add: the fields are read in, and what the
' OnTimerStart buddy writes into AdditionalStr comes back to the object.
Option Explicit

Class Fields
    Public lLParam
    Public lMParam
    Public lHParam
    Public sComments
End Class

Function Text(r)
    Text = r.lLParam & "/" & r.lMParam & "/" & r.lHParam & "/" & r.sComments
End Function

Class Buddy
    Public Sub czTimeTimerMain_OnTimerStart(hWnd, TimerId, ElapseTime, AdditionalStr, Cancel)
        WScript.Echo "start " & TimerId & ": record " & Text(AdditionalStr)
        AdditionalStr.lMParam = AdditionalStr.lMParam + 1000
        AdditionalStr.sComments = AdditionalStr.sComments & "!"
    End Sub
    Public Sub czTimeTimerMain_OnTimerElapse(hWnd, TimerId, ElapseTime, AdditionalStr)
    End Sub
End Class

Dim tm, items, rec
Set tm = WScript.CreateObject("Zentrix.clsVxTimeTimerMainA")
Set tm.BuddyObject = New Buddy
Set items = tm.TimerGroups.Add(WScript.WindowHandle).TimerItems
Set rec = New Fields
rec.lLParam = 7 : rec.lMParam = 8 : rec.lHParam = 9 : rec.sComments = "seven"
items.Add 2, rec, 5000
WScript.Echo "rec after Add: " & Text(rec)
WScript.Echo "stored: " & items.Item(1).TimerId & " " & items.Item(1).ElapseTime
WScript.Echo "done"
