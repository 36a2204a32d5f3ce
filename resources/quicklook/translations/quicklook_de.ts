<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de_DE">
<context>
    <name>QObject</name>
    <message>
        <source>Quick look at EPS files.</source>
        <translation>Schnellansicht für EPS-Dateien.</translation>
    </message>
    <message>
        <source>Preview without a window and print the outcome.</source>
        <translation>Ohne Fenster in der Vorschau zeigen und das Ergebnis ausgeben.</translation>
    </message>
    <message>
        <source>Render the preview into a PNG file.</source>
        <translation>Die Vorschau in eine PNG-Datei zeichnen.</translation>
    </message>
    <message>
        <source>Also write the drawing to OUT, a PDF or PNG file by its suffix (with --headless).</source>
        <translation>Die Zeichnung auch nach OUT schreiben, als PDF- oder PNG-Datei nach ihrer Endung (mit --headless).</translation>
    </message>
    <message>
        <source>The PNG&apos;s resolution, 72 to 600 dots per inch (default 300).</source>
        <translation>Die Auflösung des PNG, 72 bis 600 Punkte pro Zoll (Vorgabe 300).</translation>
    </message>
    <message>
        <source>Leave the PNG&apos;s background transparent.</source>
        <translation>Den Hintergrund des PNG transparent lassen.</translation>
    </message>
    <message>
        <source>Preview the files Nemo asks for when Space is pressed (started by the session bus).</source>
        <translation>Die Dateien in der Vorschau zeigen, nach denen Nemo bei der Leertaste fragt (vom Sitzungsbus gestartet).</translation>
    </message>
    <message>
        <source>The files to preview.</source>
        <translation>Die Dateien für die Vorschau.</translation>
    </message>
    <message>
        <source>no file given</source>
        <translation>keine Datei angegeben</translation>
    </message>
    <message>
        <source>--save-as needs --headless</source>
        <translation>--save-as braucht --headless</translation>
    </message>
    <message>
        <source>%1 is a folder; give the name of a file.</source>
        <translation>%1 ist ein Ordner; geben Sie den Namen einer Datei an.</translation>
    </message>
    <message>
        <source>the file to save as must end in .pdf or .png</source>
        <translation>die Datei zum Sichern muss auf .pdf oder .png enden</translation>
    </message>
    <message>
        <source>--dpi takes a number from 72 to 600</source>
        <translation>--dpi nimmt eine Zahl von 72 bis 600</translation>
    </message>
    <message>
        <source>Could not write the snapshot to %1.</source>
        <translation>Die Momentaufnahme konnte nicht nach %1 geschrieben werden.</translation>
    </message>
</context>
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
    <name>vorrel-quicklook</name>
    <message>
        <source>No preview extension serves files of type %1.</source>
        <translation>Keine Vorschau-Erweiterung ist für Dateien vom Typ %1 zuständig.</translation>
    </message>
</context>
<context>
    <name>vorrel::PageNavigator</name>
    <message>
        <source>Page %1 of %2</source>
        <translation>Seite %1 von %2</translation>
    </message>
</context>
<context>
    <name>vorrel::PreviewViewController</name>
    <message>
        <source>Not enough disk space to preview “%1”: Vorrel needs about %2 MB in %3.</source>
        <translation>Nicht genug Speicherplatz für die Vorschau von „%1“: Vorrel braucht etwa %2 MB in %3.</translation>
    </message>
    <message>
        <source>Ghostscript could not convert this file. It may be damaged, or not be PostScript.</source>
        <translation>Ghostscript konnte diese Datei nicht umwandeln. Sie ist vielleicht beschädigt oder kein PostScript.</translation>
    </message>
    <message>
        <source>Ghostscript stopped with an error (status %1) while converting this file.</source>
        <translation>Ghostscript hat beim Umwandeln dieser Datei mit einem Fehler (Status %1) abgebrochen.</translation>
    </message>
    <message>
        <source>Ghostscript finished without making a preview of this file.</source>
        <translation>Ghostscript wurde beendet, ohne eine Vorschau dieser Datei zu erstellen.</translation>
    </message>
    <message>
        <source>Ghostscript did not finish within %1 seconds.</source>
        <translation>Ghostscript ist nicht innerhalb von %1 Sekunden fertig geworden.</translation>
    </message>
    <message>
        <source>The converted file could not be read.</source>
        <translation>Die umgewandelte Datei konnte nicht gelesen werden.</translation>
    </message>
    <message>
        <source>The EPS file is empty.</source>
        <translation>Die EPS-Datei ist leer.</translation>
    </message>
    <message>
        <source>Ghostscript wrote more than 1 GiB.</source>
        <translation>Ghostscript hat mehr als 1 GiB geschrieben.</translation>
    </message>
    <message>
        <source>The compressed file is damaged.</source>
        <translation>Die komprimierte Datei ist beschädigt.</translation>
    </message>
    <message>
        <source>The compressed file expands to more than %1.</source>
        <translation>Die komprimierte Datei wird entpackt größer als %1.</translation>
    </message>
    <message>
        <source>The preview was stopped.</source>
        <translation>Die Vorschau wurde abgebrochen.</translation>
    </message>
    <message>
        <source>The preview could not be made: %1</source>
        <translation>Die Vorschau konnte nicht erstellt werden: %1</translation>
    </message>
    <message>
        <source>The preview could not be made.</source>
        <translation>Die Vorschau konnte nicht erstellt werden.</translation>
    </message>
    <message>
        <source>%1 draws nothing.</source>
        <translation>%1 zeichnet nichts.</translation>
    </message>
    <message>
        <source>the compressed file ends before it.</source>
        <translation>die komprimierte Datei endet vorher.</translation>
    </message>
    <message>
        <source>PostScript error %1.</source>
        <translation>PostScript-Fehler %1.</translation>
    </message>
    <message>
        <source>Page %1 could not be drawn: %2</source>
        <translation>Seite %1 konnte nicht gezeichnet werden: %2</translation>
    </message>
    <message>
        <source>Page %1</source>
        <translation>Seite %1</translation>
    </message>
    <message>
        <source>There is no preview to take yet.</source>
        <translation>Es gibt noch keine Vorschau, die sich mitnehmen ließe.</translation>
    </message>
</context>
<context>
    <name>vorrel::quicklook::QuickLookWindow</name>
    <message>
        <source>This is the first file.</source>
        <translation>Dies ist die erste Datei.</translation>
    </message>
    <message>
        <source>This is the last file.</source>
        <translation>Dies ist die letzte Datei.</translation>
    </message>
    <message>
        <source>%1 of %2</source>
        <translation>%1 von %2</translation>
    </message>
</context>
<context>
    <name>vorrel::quicklook::PreviewActions</name>
    <message>
        <source>Copy</source>
        <translation>Kopieren</translation>
    </message>
    <message>
        <source>Save As…</source>
        <translation>Speichern unter …</translation>
    </message>
    <message>
        <source>Information</source>
        <translation>Informationen</translation>
    </message>
    <message>
        <source>Open With…</source>
        <translation>Öffnen mit …</translation>
    </message>
    <message>
        <source>Information (Ctrl+I)</source>
        <translation>Informationen (Strg+I)</translation>
    </message>
    <message>
        <source>Open With %1</source>
        <translation>Mit %1 öffnen</translation>
    </message>
    <message>
        <source>There is no preview to take yet.</source>
        <translation>Es gibt noch keine Vorschau, die sich mitnehmen ließe.</translation>
    </message>
    <message>
        <source>The preview changed.</source>
        <translation>Die Vorschau hat sich geändert.</translation>
    </message>
    <message>
        <source>Save As</source>
        <translation>Speichern unter</translation>
    </message>
    <message>
        <source>PDF document (*.pdf)</source>
        <translation>PDF-Dokument (*.pdf)</translation>
    </message>
    <message>
        <source>PNG image (*.png)</source>
        <translation>PNG-Bild (*.png)</translation>
    </message>
    <message>
        <source>PNG Image</source>
        <translation>PNG-Bild</translation>
    </message>
    <message>
        <source> dpi</source>
        <translation> dpi</translation>
    </message>
    <message>
        <source>&amp;Transparent background</source>
        <translation>&amp;Transparenter Hintergrund</translation>
    </message>
    <message>
        <source>&amp;Resolution:</source>
        <translation>&amp;Auflösung:</translation>
    </message>
</context>
<context>
    <name>vorrel::quicklook::PreviewSession</name>
    <message>
        <source>There is no preview to take yet.</source>
        <translation>Es gibt noch keine Vorschau, die sich mitnehmen ließe.</translation>
    </message>
</context>
<context>
    <name>vorrel::quicklook::InfoPanel</name>
    <message>
        <source>Reading…</source>
        <translation>Wird gelesen …</translation>
    </message>
    <message>
        <source>What this file is could not be read.</source>
        <translation>Was diese Datei ist, ließ sich nicht lesen.</translation>
    </message>
    <message>
        <source>Size:</source>
        <translation>Größe:</translation>
    </message>
    <message>
        <source>%1 × %2 pt (%3 × %4 mm)</source>
        <translation>%1 × %2 pt (%3 × %4 mm)</translation>
    </message>
    <message>
        <source>Pages:</source>
        <translation>Seiten:</translation>
    </message>
    <message>
        <source>Title:</source>
        <translation>Titel:</translation>
    </message>
    <message>
        <source>Creator:</source>
        <translation>Erstellt mit:</translation>
    </message>
    <message>
        <source>Created:</source>
        <translation>Erstellt am:</translation>
    </message>
    <message>
        <source>For:</source>
        <translation>Für:</translation>
    </message>
    <message>
        <source>Language level:</source>
        <translation>Sprachstufe:</translation>
    </message>
    <message>
        <source>Kind:</source>
        <translation>Art:</translation>
    </message>
    <message>
        <source>PostScript document</source>
        <translation>PostScript-Dokument</translation>
    </message>
    <message>
        <source>EPS drawing</source>
        <translation>EPS-Zeichnung</translation>
    </message>
    <message>
        <source>Compressed:</source>
        <translation>Komprimiert:</translation>
    </message>
    <message>
        <source>No</source>
        <translation>Nein</translation>
    </message>
    <message>
        <source>Bytes:</source>
        <translation>Bytes:</translation>
    </message>
    <message>
        <source>Fonts:</source>
        <translation>Schriften:</translation>
    </message>
    <message>
        <source>None</source>
        <translation>Keine</translation>
    </message>
    <message>
        <source>%1 (embedded)</source>
        <translation>%1 (eingebettet)</translation>
    </message>
    <message>
        <source>%1 (not embedded)</source>
        <translation>%1 (nicht eingebettet)</translation>
    </message>
</context>
<context>
    <name>vorrel::PreviewExport</name>
    <message>
        <source>Could not write %1: %2</source>
        <translation>%1 konnte nicht geschrieben werden: %2</translation>
    </message>
    <message>
        <source>The converted file could not be read.</source>
        <translation>Die umgewandelte Datei konnte nicht gelesen werden.</translation>
    </message>
    <message>
        <source>At %1 dpi the image would be too large; choose a lower resolution.</source>
        <translation>Bei %1 dpi würde das Bild zu groß; wählen Sie eine geringere Auflösung.</translation>
    </message>
    <message>
        <source>%1 is a folder; give the name of a file.</source>
        <translation>%1 ist ein Ordner; geben Sie den Namen einer Datei an.</translation>
    </message>
    <message>
        <source>%1 is the file previewed; it is never written over.</source>
        <translation>%1 ist die angezeigte Datei; sie wird nie überschrieben.</translation>
    </message>
    <message>
        <source>The resolution must be between %1 and %2 dpi.</source>
        <translation>Die Auflösung muss zwischen %1 und %2 dpi liegen.</translation>
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
    <name>vorrel::quicklook::FileCard</name>
    <message>
        <source>Open</source>
        <translation>Öffnen</translation>
    </message>
</context>
<context>
    <name>vorrel::quicklook::NemoPreviewer</name>
    <message>
        <source>Another program owns %1 on the session bus.</source>
        <translation>Ein anderes Programm besitzt %1 auf dem Sitzungsbus.</translation>
    </message>
</context>
</TS>
