<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de_DE">
<context>
    <name>CommandLine</name>
    <message>
        <source>Show this help and exit.</source>
        <translation>Diese Hilfe zeigen und beenden.</translation>
    </message>
    <message>
        <source>Show the version and exit.</source>
        <translation>Die Version zeigen und beenden.</translation>
    </message>
    <message>
        <source>Try &apos;%1 --help&apos; for more information.
</source>
        <translation>Mehr dazu zeigt „%1 --help“.
</translation>
    </message>
</context>
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
    <message>
        <source>Technical details: %1</source>
        <translation>Technische Einzelheiten: %1</translation>
    </message>
    <message>
        <source>Set up quick look for EPS files, change its settings, check for updates.</source>
        <translation>Die Schnellansicht für EPS-Dateien einrichten, ihre Einstellungen ändern, nach Updates suchen.</translation>
    </message>
    <message>
        <source>Make Space in the file managers preview EPS files (on), undo it (off), or say what Space does in each (status).</source>
        <translation>Die Leertaste in den Dateimanagern EPS-Dateien in der Vorschau zeigen lassen (on), das rückgängig machen (off) oder sagen, was die Leertaste in jedem tut (status).</translation>
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
    <name>vorrel::DefaultApplication</name>
    <message>
        <source>Vorrel Quick Look now opens EPS files.</source>
        <translation>Vorrel Quick Look öffnet jetzt EPS-Dateien.</translation>
    </message>
    <message>
        <source>Vorrel Quick Look could not be made the default application for EPS files.</source>
        <translation>Vorrel Quick Look konnte nicht zur Standardanwendung für EPS-Dateien gemacht werden.</translation>
    </message>
    <message>
        <source>Its desktop entry “%1” is not installed, so the desktop cannot find it. Install Vorrel, then try again.</source>
        <translation>Sein Desktop-Eintrag „%1“ ist nicht installiert, daher findet die Arbeitsumgebung es nicht. Installieren Sie Vorrel und versuchen Sie es dann erneut.</translation>
    </message>
    <message>
        <source>The program “xdg-mime” was not found. It comes with the package “xdg-utils”.</source>
        <translation>Das Programm „xdg-mime“ wurde nicht gefunden. Es gehört zum Paket „xdg-utils“.</translation>
    </message>
    <message>
        <source>“xdg-mime” failed: %1</source>
        <translation>„xdg-mime“ ist fehlgeschlagen: %1</translation>
    </message>
    <message>
        <source>In File Manager, choose “Open With → Vorrel Quick Look” for such a file and make it the default there.</source>
        <translation>Wählen Sie im Dateimanager für eine solche Datei „Öffnen mit → Vorrel Quick Look“ und machen Sie es dort zur Standardanwendung.</translation>
    </message>
    <message>
        <source>“xdg-mime” gave no answer in time.</source>
        <translation>„xdg-mime“ hat nicht rechtzeitig geantwortet.</translation>
    </message>
    <message>
        <source>“xdg-mime” was ended before it finished.</source>
        <translation>„xdg-mime“ wurde beendet, bevor es fertig war.</translation>
    </message>
    <message>
        <source>“xdg-mime” needs a program that is not installed.</source>
        <translation>„xdg-mime“ braucht ein Programm, das nicht installiert ist.</translation>
    </message>
    <message>
        <source>“xdg-mime” could not change the list of default applications.</source>
        <translation>„xdg-mime“ konnte die Liste der Standardanwendungen nicht ändern.</translation>
    </message>
    <message>
        <source>“xdg-mime” has no permission to read or write a file it needs.</source>
        <translation>„xdg-mime“ darf eine Datei, die es braucht, nicht lesen oder schreiben.</translation>
    </message>
    <message>
        <source>“xdg-mime” failed without saying why (error status %1).</source>
        <translation>„xdg-mime“ ist ohne Angabe von Gründen fehlgeschlagen (Fehlerstatus %1).</translation>
    </message>
    <message>
        <source>“xdg-mime” reported success, but the desktop still names another application for %1. Its list of default applications (%2) may not be writable.</source>
        <translation>„xdg-mime“ meldete Erfolg, aber die Arbeitsumgebung nennt für %1 weiterhin eine andere Anwendung. Ihre Liste der Standardanwendungen (%2) ist vielleicht nicht beschreibbar.</translation>
    </message>
    <message>
        <source>%1 files may still open in another application.</source>
        <translation>%1-Dateien öffnen sich vielleicht weiterhin in einer anderen Anwendung.</translation>
    </message>
    <message>
        <source>Vorrel Quick Look is their default application, but this session could not say what type a %1 file is.</source>
        <translation>Vorrel Quick Look ist ihre Standardanwendung, aber diese Sitzung konnte nicht sagen, welchen Typ eine %1-Datei hat.</translation>
    </message>
    <message>
        <source>This session classifies %1 files as “%2”, a type Vorrel Quick Look does not open.</source>
        <translation>Diese Sitzung ordnet %1-Dateien dem Typ „%2“ zu, den Vorrel Quick Look nicht öffnet.</translation>
    </message>
</context>
<context>
    <name>vorrel::HomeView</name>
    <message>
        <source>Quick Look EPS Files in File Manager</source>
        <translation>EPS-Dateien im Dateimanager per Quick Look ansehen</translation>
    </message>
    <message>
        <source>Space Bar in File Manager</source>
        <translation>Leertaste im Dateimanager</translation>
    </message>
    <message>
        <source>Space Bar in File Manager…</source>
        <translation>Leertaste im Dateimanager …</translation>
    </message>
    <message>
        <source>Press Space on an EPS file in these file managers to quick look at it:</source>
        <translation>Drücken Sie in diesen Dateimanagern die Leertaste auf einer EPS-Datei, um sie mit Quick Look anzusehen:</translation>
    </message>
    <message>
        <source>How to Use Vorrel Quick Look?</source>
        <translation>Wie benutzt man Vorrel Quick Look?</translation>
    </message>
    <message>
        <source>Open EPS and PostScript files (.eps, .epsi, .epsf, .ps, also as .gz or .bz2) with Vorrel Quick Look. Space or Escape closes the quick look; the Left and Right arrow keys move between files opened together.</source>
        <translation>Öffnen Sie EPS- und PostScript-Dateien (.eps, .epsi, .epsf, .ps, auch als .gz oder .bz2) mit Vorrel Quick Look. Leertaste oder Esc schließt die Vorschau, die Pfeiltasten ← und → wechseln zwischen gemeinsam geöffneten Dateien.</translation>
    </message>
    <message>
        <source>Set Up Quick Look for EPS Files</source>
        <translation>Quick Look für EPS-Dateien einrichten</translation>
    </message>
    <message>
        <source>Make “Vorrel Quick Look” the [default application for these files](%1).</source>
        <translation>Machen Sie „Vorrel Quick Look“ zur [Standardanwendung für diese Dateien](%1).</translation>
    </message>
    <message>
        <source>In File Manager, double-click an EPS file, or choose “Open With → Vorrel Quick Look”.</source>
        <translation>Doppelklicken Sie im Dateimanager auf eine EPS-Datei oder wählen Sie „Öffnen mit → Vorrel Quick Look“.</translation>
    </message>
    <message>
        <source>File Manager shows thumbnails of these files.</source>
        <translation>Mit Vorrel zeigt der Dateimanager Vorschaubilder dieser Dateien.</translation>
    </message>
    <message>
        <source>Turn on “Transparent Background” in Settings for previews without a white page.</source>
        <translation>Schalten Sie in den Einstellungen „Transparenter Hintergrund“ ein, um Vorschauen ohne weiße Seite zu erhalten.</translation>
    </message>
    <message>
        <source>Default Application</source>
        <translation>Standardanwendung</translation>
    </message>
</context>
<context>
    <name>vorrel::MainWindow</name>
    <message>
        <source>No file manager could show the log file.</source>
        <translation>Kein Dateimanager konnte die Protokolldatei anzeigen.</translation>
    </message>
    <message>
        <source>No file manager could show the preview files folder.</source>
        <translation>Kein Dateimanager konnte den Ordner der Vorschaudateien anzeigen.</translation>
    </message>
    <message>
        <source>Its path, to copy:</source>
        <translation>Der Pfad zum Kopieren:</translation>
    </message>
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
    <name>vorrel::PreviewVerdict</name>
    <message>
        <source>Vorrel does not preview files of this type.</source>
        <translation>Vorrel zeigt keine Vorschau für Dateien dieses Typs.</translation>
    </message>
    <message>
        <source>Vorrel previews it as a PostScript document.</source>
        <translation>Vorrel zeigt sie als PostScript-Dokument.</translation>
    </message>
    <message>
        <source>Vorrel previews it as a compressed PostScript document.</source>
        <translation>Vorrel zeigt sie als komprimiertes PostScript-Dokument.</translation>
    </message>
    <message>
        <source>Vorrel previews it as an EPS drawing.</source>
        <translation>Vorrel zeigt sie als EPS-Zeichnung.</translation>
    </message>
    <message>
        <source>Vorrel previews it as a compressed EPS drawing.</source>
        <translation>Vorrel zeigt sie als komprimierte EPS-Zeichnung.</translation>
    </message>
    <message>
        <source>Vorrel previews it as an EPS drawing: its content is EPS.</source>
        <translation>Vorrel zeigt sie als EPS-Zeichnung: Ihr Inhalt ist EPS.</translation>
    </message>
</context>
<context>
    <name>vorrel::platform::Updater</name>
    <message>
        <source>The update server “%1” could not be found.</source>
        <translation>Der Update-Server „%1“ wurde nicht gefunden.</translation>
    </message>
    <message>
        <source>The update server “%1” could not be reached.</source>
        <translation>Der Update-Server „%1“ ist nicht erreichbar.</translation>
    </message>
    <message>
        <source>No secure connection to the update server “%1” could be made.</source>
        <translation>Zum Update-Server „%1“ konnte keine sichere Verbindung aufgebaut werden.</translation>
    </message>
    <message>
        <source>The update server “%1” sent the check to an address it cannot follow.</source>
        <translation>Der Update-Server „%1“ hat die Suche an eine Adresse weitergeleitet, der sie nicht folgen kann.</translation>
    </message>
    <message>
        <source>The update feed could not be loaded from “%1”.</source>
        <translation>Der Update-Feed konnte nicht von „%1“ geladen werden.</translation>
    </message>
    <message>
        <source>The update server did not answer in time.</source>
        <translation>Der Update-Server hat nicht rechtzeitig geantwortet.</translation>
    </message>
    <message>
        <source>The update feed address “%1” is not a web address.</source>
        <translation>Die Adresse des Update-Feeds „%1“ ist keine Web-Adresse.</translation>
    </message>
    <message>
        <source>The update feed is larger than %1 bytes.</source>
        <translation>Der Update-Feed ist größer als %1 Byte.</translation>
    </message>
    <message>
        <source>The update server answered with HTTP status %1 (%2).</source>
        <translation>Der Update-Server hat mit dem HTTP-Status %1 (%2) geantwortet.</translation>
    </message>
    <message>
        <source>The update feed lists no release.</source>
        <translation>Der Update-Feed nennt keine Version.</translation>
    </message>
    <message>
        <source>The running version “%1” cannot be compared with the feed's.</source>
        <translation>Die laufende Version „%1“ lässt sich nicht mit der des Feeds vergleichen.</translation>
    </message>
</context>
<context>
    <name>vorrel::SettingsView</name>
    <message>
        <source>Transparent Background</source>
        <translation>Transparenter Hintergrund</translation>
    </message>
    <message>
        <source>Shows drawings (EPS) as PNG images without a white page. PostScript documents are always shown as PDF.</source>
        <translation>Zeigt Zeichnungen (EPS) als PNG-Bilder ohne weiße Seite. PostScript-Dokumente werden immer als PDF gezeigt.</translation>
    </message>
</context>
<context>
    <name>vorrel::ThumbnailerChoice</name>
    <message>
        <source>File Manager uses Vorrel's thumbnails for EPS files, whatever other thumbnailers are installed.</source>
        <translation>Der Dateimanager nutzt für EPS-Dateien die Vorschaubilder von Vorrel, welche anderen Vorschauprogramme auch installiert sind.</translation>
    </message>
    <message>
        <source>Use Any Thumbnailer</source>
        <translation>Beliebiges Vorschauprogramm nutzen</translation>
    </message>
    <message>
        <source>Another thumbnailer also makes thumbnails of EPS files (%1), and File Manager may use either.</source>
        <translation>Ein anderes Vorschauprogramm macht ebenfalls Vorschaubilder von EPS-Dateien (%1), und der Dateimanager kann jedes der beiden nutzen.</translation>
    </message>
    <message>
        <source>Use Vorrel's Thumbnails</source>
        <translation>Vorschaubilder von Vorrel nutzen</translation>
    </message>
    <message>
        <source>The thumbnailer entry could not be changed: %1</source>
        <translation>Der Eintrag des Vorschauprogramms konnte nicht geändert werden: %1</translation>
    </message>
</context>
<context>
    <name>vorrel::SettingsWriteMessage</name>
    <message>
        <source>Close</source>
        <translation>Schließen</translation>
    </message>
    <message>
        <source>The setting could not be saved: %1</source>
        <translation>Die Einstellung konnte nicht gespeichert werden: %1</translation>
    </message>
    <message>
        <source>The setting could not be saved in “%1”: %2</source>
        <translation>Die Einstellung konnte nicht in „%1“ gespeichert werden: %2</translation>
    </message>
    <message>
        <source>The settings file “%1” could not be read: %2. The defaults are in use for what could not be read.</source>
        <translation>Die Einstellungsdatei „%1“ konnte nicht gelesen werden: %2. Für das, was nicht gelesen werden konnte, gelten die Standardwerte.</translation>
    </message>
</context>
<context>
    <name>vorrel::ProtectionNote</name>
    <message>
        <source>Landlock and the seccomp filter are missing on this system, so Ghostscript can read and change your files and signal and slow down your other programs.</source>
        <translation>Landlock und der seccomp-Filter fehlen auf diesem System, daher kann Ghostscript Ihre Dateien lesen und ändern und Ihren anderen Programmen Signale senden und sie ausbremsen.</translation>
    </message>
    <message>
        <source>Landlock is missing on this system, so Ghostscript can read your files and change any you may change.</source>
        <translation>Landlock fehlt auf diesem System, daher kann Ghostscript Ihre Dateien lesen und alle ändern, die Sie ändern dürfen.</translation>
    </message>
    <message>
        <source>The seccomp filter is missing on this system, so Ghostscript can signal and slow down your other programs.</source>
        <translation>Der seccomp-Filter fehlt auf diesem System, daher kann Ghostscript Ihren anderen Programmen Signale senden und sie ausbremsen.</translation>
    </message>
</context>
<context>
    <name>SpaceBar</name>
    <message>
        <source>%1 could not be written.</source>
        <translation>%1 konnte nicht geschrieben werden.</translation>
    </message>
    <message>
        <source>%1 was left as it is: it could not be read (%2).</source>
        <translation>%1 blieb, wie es ist: Es konnte nicht gelesen werden (%2).</translation>
    </message>
    <message>
        <source>GNOME Files</source>
        <translation>GNOME Dateien</translation>
    </message>
    <message>
        <source>Space runs the custom action “Quick Look” on EPS files.</source>
        <translation>Die Leertaste führt die benutzerdefinierte Aktion „Quick Look“ für EPS-Dateien aus.</translation>
    </message>
    <message>
        <source>Space does not preview EPS files.</source>
        <translation>Die Leertaste zeigt keine Vorschau von EPS-Dateien.</translation>
    </message>
    <message>
        <source>Space runs the script “Quick Look” on the selected files.</source>
        <translation>Die Leertaste führt das Skript „Quick Look“ für die ausgewählten Dateien aus.</translation>
    </message>
    <message>
        <source>Space needs Sushi, the previewer of GNOME Files (package gnome-sushi).</source>
        <translation>Die Leertaste braucht Sushi, die Vorschau von GNOME Dateien (Paket gnome-sushi).</translation>
    </message>
    <message>
        <source>Sushi previews EPS files with Vorrel's plug-in.</source>
        <translation>Sushi zeigt EPS-Dateien mit Vorrels Plug-in an.</translation>
    </message>
    <message>
        <source>Sushi previews EPS files with Vorrel.</source>
        <translation>Sushi zeigt EPS-Dateien mit Vorrel an.</translation>
    </message>
    <message>
        <source>Sushi shows EPS files as text or not at all.</source>
        <translation>Sushi zeigt EPS-Dateien als Text oder gar nicht an.</translation>
    </message>
    <message>
        <source>Space previews files with Vorrel Quick Look.</source>
        <translation>Die Leertaste zeigt Dateien mit Vorrel Quick Look an.</translation>
    </message>
    <message>
        <source>Another previewer answers Space in Nemo (%1).</source>
        <translation>Eine andere Vorschau antwortet in Nemo auf die Leertaste (%1).</translation>
    </message>
    <message>
        <source>Another program answers Space in Nemo (it owns %1).</source>
        <translation>Ein anderes Programm antwortet in Nemo auf die Leertaste (es besitzt %1).</translation>
    </message>
    <message>
        <source>Space does nothing: no previewer is installed.</source>
        <translation>Die Leertaste bewirkt nichts: Keine Vorschau ist installiert.</translation>
    </message>
    <message>
        <source>The Sushi viewer could not be removed.</source>
        <translation>Die Sushi-Ansicht konnte nicht entfernt werden.</translation>
    </message>
    <message>
        <source>Sushi no longer uses Vorrel's viewer.</source>
        <translation>Sushi verwendet Vorrels Ansicht nicht mehr.</translation>
    </message>
    <message>
        <source>%1 could not be removed.</source>
        <translation>%1 konnte nicht entfernt werden.</translation>
    </message>
    <message>
        <source>Nemo no longer starts Vorrel Quick Look on Space.</source>
        <translation>Nemo startet Vorrel Quick Look nicht mehr mit der Leertaste.</translation>
    </message>
    <message>
        <source>%1 is not Vorrel's and was left as it is.</source>
        <translation>%1 gehört nicht zu Vorrel und blieb, wie es ist.</translation>
    </message>
    <message>
        <source>Sushi previews EPS files with Vorrel from its next start.</source>
        <translation>Sushi zeigt EPS-Dateien ab seinem nächsten Start mit Vorrel an.</translation>
    </message>
    <message>
        <source>Space in Nemo now previews files with Vorrel Quick Look.</source>
        <translation>Die Leertaste zeigt in Nemo jetzt Dateien mit Vorrel Quick Look an.</translation>
    </message>
    <message>
        <source>Quick Look</source>
        <translation>Quick Look</translation>
    </message>
    <message>
        <source>Preview with Vorrel Quick Look</source>
        <translation>Mit Vorrel Quick Look anzeigen</translation>
    </message>
    <message>
        <source>Space in Thunar now runs “Quick Look” on EPS files; quit Thunar (thunar -q) for it to take effect.</source>
        <translation>Die Leertaste führt in Thunar jetzt „Quick Look“ für EPS-Dateien aus; beenden Sie Thunar (thunar -q), damit es wirkt.</translation>
    </message>
    <message>
        <source>Thunar's “Quick Look” action is removed.</source>
        <translation>Thunars Aktion „Quick Look“ ist entfernt.</translation>
    </message>
    <message>
        <source>Space in Caja now runs the script “Quick Look”; quit Caja (caja -q) for it to take effect.</source>
        <translation>Die Leertaste führt in Caja jetzt das Skript „Quick Look“ aus; beenden Sie Caja (caja -q), damit es wirkt.</translation>
    </message>
    <message>
        <source>Caja's “Quick Look” script is removed.</source>
        <translation>Cajas Skript „Quick Look“ ist entfernt.</translation>
    </message>
    <message>
        <source>vorrel: --space-bar takes on, off or status, not “%1”.</source>
        <translation>vorrel: --space-bar nimmt on, off oder status, nicht „%1“.</translation>
    </message>
    <message>
        <source>No file manager that Vorrel can set up was found.</source>
        <translation>Es wurde kein Dateimanager gefunden, den Vorrel einrichten kann.</translation>
    </message>
</context>
<context>
    <name>vorrel::SpaceBarChoice</name>
    <message>
        <source>Undo</source>
        <translation>Rückgängig</translation>
    </message>
    <message>
        <source>Set Up</source>
        <translation>Einrichten</translation>
    </message>
</context>
</TS>
