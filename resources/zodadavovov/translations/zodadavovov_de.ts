<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de_DE">
<context>
    <name>ZodadaVovov</name>
    <message><source>Document</source><translation>Dokument</translation></message>
    <message><source>Select Files</source><translation>Dateien auswählen</translation></message>
    <message><source>Copy Result</source><translation>Ergebnis kopieren</translation></message>
    <message><source>You can also drag-and-drop files.</source><translation>Sie können Dateien auch hierher ziehen.</translation></message>
    <message><source>Name</source><translation>Name</translation></message>
    <message><source>Kind</source><translation>Art</translation></message>
    <message><source>MIME Type</source><translation>MIME-Typ</translation></message>
    <message><source>Extensions</source><translation>Endungen</translation></message>
    <message><source>Preview</source><translation>Vorschau</translation></message>
    <message><source>Copy MIME Type</source><translation>MIME-Typ kopieren</translation></message>
    <message><source>MIME Type Finder</source><translation>MIME-Typ-Finder</translation></message>
    <message><source>Version %1 (%2)</source><translation>Version %1 (%2)</translation></message>
    <message><source>Check for Updates…</source><translation>Nach Updates suchen …</translation></message>
    <message><source>Automatically check for updates</source><translation>Automatisch nach Updates suchen</translation></message>
    <message><source>Troubleshooting Quick Look Extensions</source><translation>Fehlerbehebung bei Quick-Look-Erweiterungen</translation></message>
    <message><source>Quick Look not working? Visit [Troubleshooting Quick Look Extensions](https://quarnix.app/help/troubleshooting-quick-look-extensions/) for help.</source><translation>Quick Look funktioniert nicht? Hilfe finden Sie unter [Fehlerbehebung bei Quick-Look-Erweiterungen](https://quarnix.app/help/troubleshooting-quick-look-extensions/).</translation></message>
    <message><source>More Apps By Us</source><translation>Weitere Apps von uns</translation></message>
    <message><source>Website</source><translation>Website</translation></message>
    <message><source>Contact Us</source><translation>Kontakt</translation></message>
    <message><source>Privacy Policy</source><translation>Datenschutzerklärung</translation></message>
    <message><source>Terms of Service</source><translation>Nutzungsbedingungen</translation></message>
    <message><source>[Tessel: tile your windows with the keyboard](https://flathub.org/apps/app.quarnix.Tessel)</source><translation>[Tessel: Fenster per Tastatur anordnen](https://flathub.org/apps/app.quarnix.Tessel)</translation></message>
    <message><source>No application could open this address.</source><translation>Keine Anwendung konnte diese Adresse öffnen.</translation></message>
    <message><source>The address, to copy:</source><translation>Die Adresse zum Kopieren:</translation></message>
</context>
</TS>
