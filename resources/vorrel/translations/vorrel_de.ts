<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de_DE">
<context>
    <name>QObject</name>
    <message>
        <source>You’re up to date!</source>
        <translation>Sie sind auf dem neuesten Stand!</translation>
    </message>
    <message>
        <source>%1 %2 is currently the newest version available.</source>
        <translation>%1 %2 ist derzeit die neueste verfügbare Version.</translation>
    </message>
    <message>
        <source>A new version of %1 is available!</source>
        <translation>Eine neue Version von %1 ist verfügbar!</translation>
    </message>
    <message>
        <source>%1 %2 is now available; you have %3.</source>
        <translation>%1 %2 ist jetzt verfügbar; Sie haben %3.</translation>
    </message>
    <message>
        <source>Release page</source>
        <translation>Seite der Version</translation>
    </message>
    <message>
        <source>Release notes</source>
        <translation>Versionshinweise</translation>
    </message>
    <message>
        <source>Software Update</source>
        <translation>Softwareaktualisierung</translation>
    </message>
    <message>
        <source>Update Error!</source>
        <translation>Aktualisierungsfehler!</translation>
    </message>
    <message>
        <source>The check for updates failed.</source>
        <translation>Die Suche nach Updates ist fehlgeschlagen.</translation>
    </message>
</context>
<context>
    <name>SidebarPane</name>
    <message>
        <source>Home</source>
        <translation>Start</translation>
    </message>
    <message>
        <source>Settings</source>
        <translation>Einstellungen</translation>
    </message>
    <message>
        <source>About</source>
        <translation>Über</translation>
    </message>
</context>
<context>
    <name>vorrel::AboutView</name>
    <message>
        <source>More Apps by Us</source>
        <translation>Weitere Apps von uns</translation>
    </message>
    <message>
        <source>[Lumen Contact Sheets - Browse folders of images as printable contact sheets](%1)</source>
        <translation>[Lumen Contact Sheets - Bilderordner als druckbare Kontaktbögen durchsehen](%1)</translation>
    </message>
</context>
<context>
    <name>vorrel::CheckUpdatesButton</name>
    <message>
        <source>Check for Updates…</source>
        <translation>Nach Updates suchen …</translation>
    </message>
</context>
<context>
    <name>vorrel::HomeView</name>
    <message>
        <source>Quick Look EPS Files in File Manager</source>
        <translation>EPS-Dateien im Dateimanager per Quick Look ansehen</translation>
    </message>
    <message>
        <source>How to Use the Extension?</source>
        <translation>Wie benutzt man die Erweiterung?</translation>
    </message>
    <message>
        <source>Press spacebar or Ctrl + Y to quick look EPS files in File Manager.</source>
        <translation>Drücken Sie die Leertaste oder Strg + Y, um EPS-Dateien im Dateimanager per Quick Look anzusehen.</translation>
    </message>
    <message>
        <source>Enable Quick Look Extension</source>
        <translation>Quick-Look-Erweiterung aktivieren</translation>
    </message>
    <message>
        <source>Make “Vorrel Quick Look” the [default application for EPS files](%1).</source>
        <translation>Machen Sie „Vorrel Quick Look“ zur [Standardanwendung für EPS-Dateien](%1).</translation>
    </message>
    <message>
        <source>In File Manager, open an EPS file, or choose “Open With → Vorrel Quick Look”.</source>
        <translation>Öffnen Sie im Dateimanager eine EPS-Datei oder wählen Sie „Öffnen mit → Vorrel Quick Look“.</translation>
    </message>
    <message>
        <source>Press spacebar or Escape to close the preview.</source>
        <translation>Drücken Sie die Leertaste oder Escape, um die Vorschau zu schließen.</translation>
    </message>
    <message>
        <source>Turn on “Transparent Background” in Settings for previews without a white page.</source>
        <translation>Schalten Sie in den Einstellungen „Transparenter Hintergrund“ ein, um Vorschauen ohne weiße Seite zu erhalten.</translation>
    </message>
</context>
<context>
    <name>vorrel::MainWindow</name>
    <message>
        <source>&amp;File</source>
        <translation>&amp;Datei</translation>
    </message>
    <message>
        <source>About %1</source>
        <translation>Über %1</translation>
    </message>
    <message>
        <source>&amp;Quit</source>
        <translation>&amp;Beenden</translation>
    </message>
    <message>
        <source>&amp;View</source>
        <translation>&amp;Ansicht</translation>
    </message>
    <message>
        <source>&amp;Help</source>
        <translation>&amp;Hilfe</translation>
    </message>
    <message>
        <source>Log to File</source>
        <translation>In Datei protokollieren</translation>
    </message>
    <message>
        <source>Show Log File in File Manager</source>
        <translation>Protokolldatei im Dateimanager zeigen</translation>
    </message>
    <message>
        <source>Reveal Preview Files Folder</source>
        <translation>Ordner der Vorschaudateien zeigen</translation>
    </message>
</context>
<context>
    <name>vorrel::SettingsView</name>
    <message>
        <source>Transparent Background</source>
        <translation>Transparenter Hintergrund</translation>
    </message>
</context>
</TS>
