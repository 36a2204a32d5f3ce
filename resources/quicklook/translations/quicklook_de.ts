<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de_DE">
<context>
    <name>vorrel-quicklook</name>
    <message>
        <source>No preview extension serves files of type %1.</source>
        <translation>Keine Vorschau-Erweiterung ist für Dateien vom Typ %1 zuständig.</translation>
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
        <source>Page %1</source>
        <translation>Seite %1</translation>
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
</TS>
