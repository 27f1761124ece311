' The test component walked by Windows' own script host, a late-binding client that is not ours: every
' archive and message of the server, then the reason of an Item beyond the end. Numbers are passed as Long,
' since the component takes nothing else.
Option Explicit

Sub Walk(folder, indent)
    Dim messages, subs, entry, mail, i
    WScript.Echo indent & folder.Name & " | " & folder.FullPath
    Set messages = folder.GetMessages(CLng(197119))
    For i = 0 To messages.Count - 1
        Set entry = messages.Item(CLng(i))
        Set mail = folder.GetMailItem(entry.Key, CLng(34))
        WScript.Echo indent & "  " & entry.Kind & " " & mail.Title
    Next
    Set subs = folder.GetSubArchives()
    For i = 0 To subs.Count - 1
        Walk subs.Item(CLng(i)), indent & "  "
    Next
End Sub

Dim api, account, users
Set api = CreateObject("DVOBJAPILib.DvISEAPI")
api.PrepareLogon CLng(1)
Set account = api.Logon(Empty, Empty, Empty, Empty, Empty, "AUTH")
Set api = Nothing
Walk account.GetArchiveRoot(CLng(1)), ""

Set users = account.GetArchiveRoot(CLng(1)).GetSubArchives()
On Error Resume Next
users.Item CLng(users.Count)
WScript.Echo "beyond the end: " & Hex(Err.Number) & " " & Err.Source & ": " & Err.Description
