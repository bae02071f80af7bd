<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de_DE" sourcelanguage="en">
<context>
    <name>CAboutDialog</name>
    <message>
        <location filename="../src/app/CAboutDialog.cpp" line="+18"/>
        <source>About Ostrael</source>
        <translation>Über Ostrael</translation>
    </message>
    <message>
        <location line="+20"/>
        <source>Website:</source>
        <translation>Website:</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Support:</source>
        <translation>Support:</translation>
    </message>
</context>
<context>
    <name>CMainFrame</name>
    <message>
        <location filename="../src/app/CMainFrame.cpp" line="+99"/>
        <source>&amp;File</source>
        <translation>&amp;Datei</translation>
    </message>
    <message>
        <location line="+4"/>
        <source>E&amp;xit	Alt+F4</source>
        <translation>&amp;Beenden	Alt+F4</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>&amp;Edit</source>
        <translation>&amp;Bearbeiten</translation>
    </message>
    <message>
        <location line="+15"/>
        <source>&amp;Help</source>
        <translation>&amp;Hilfe</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>&amp;Manual</source>
        <translation>&amp;Handbuch</translation>
    </message>
    <message>
        <location line="+5"/>
        <source>&amp;Show Tip of the Day...</source>
        <translation>&amp;Tipp des Tages anzeigen...</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>&amp;Tell to Friend via E-mail...</source>
        <translation>Per E-Mail &amp;weiterempfehlen...</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>&amp;Check New Version...</source>
        <translation>Auf neue &amp;Version prüfen...</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>&amp;Visit %1...</source>
        <translation>%1 &amp;besuchen...</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>&amp;About Ostrael...</source>
        <translation>Ü&amp;ber Ostrael...</translation>
    </message>
</context>
<context>
    <name>CRightView</name>
    <message>
        <location filename="../src/app/CRightView.cpp" line="+42"/>
        <source>Output General Options</source>
        <translation>Allgemeine Ausgabeoptionen</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>General output options.</source>
        <translation>Allgemeine Ausgabeoptionen.</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>Page Range</source>
        <translation>Seitenbereich</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Output page range.</source>
        <translation>Auszugebender Seitenbereich.</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>All Pages</source>
        <translation>Alle Seiten</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Selected Pages</source>
        <translation>Ausgewählte Seiten</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>Begin Page</source>
        <translation>Erste Seite</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Begin page.</source>
        <translation>Erste Seite.</translation>
    </message>
    <message>
        <location line="+6"/>
        <source>End Page</source>
        <translation>Letzte Seite</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>End page.</source>
        <translation>Letzte Seite.</translation>
    </message>
    <message>
        <location line="+6"/>
        <source>Open Results</source>
        <translation>Ergebnisse öffnen</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Open the result image files directory when finished converting.</source>
        <translation>Nach dem Umwandeln den Ordner mit den Bilddateien öffnen.</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Yes</source>
        <translation>Ja</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>No</source>
        <translation>Nein</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>Output Options</source>
        <translation>Ausgabeoptionen</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Output options.</source>
        <translation>Ausgabeoptionen.</translation>
    </message>
    <message>
        <location line="+4"/>
        <source>Output Directory</source>
        <translation>Ausgabeordner</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Output file directory. Save all the output files to this directory. Null for every pdf file directory.</source>
        <translation>Ordner für die Ausgabedateien. Alle Ausgabedateien werden in diesem Ordner gespeichert. Leer: der Ordner der jeweiligen PDF-Datei.</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>Please select a folder to save result files. All the output files will be saved to this folder.</source>
        <translation>Bitte einen Ordner für die Ergebnisdateien wählen. Alle Ausgabedateien werden in diesem Ordner gespeichert.</translation>
    </message>
    <message>
        <location line="+5"/>
        <source>Output Mode</source>
        <translation>Ausgabemodus</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Output mode. Image format(.ppm/.pbm, .jpg, .bmp, .gif and so on).</source>
        <translation>Ausgabemodus. Bildformat (.ppm/.pbm, .jpg, .bmp, .gif usw.).</translation>
    </message>
    <message>
        <location line="+6"/>
        <source>Jpeg Quality (%)</source>
        <translation>JPEG-Qualität (%)</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Jpeg quality in percent.</source>
        <translation>JPEG-Qualität in Prozent.</translation>
    </message>
    <message>
        <location line="+5"/>
        <source>Jpeg Gray Scale</source>
        <translation>JPEG in Graustufen</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Generate gray scale jpg images.</source>
        <translation>JPEG-Bilder in Graustufen erzeugen.</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>True</source>
        <translation>Ja</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>False</source>
        <translation>Nein</translation>
    </message>
    <message>
        <location line="+5"/>
        <source>Keep Transparency</source>
        <translation>Transparenz behalten</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Save masked images with their transparency: png, tif and tga get an alpha channel, the other formats the mask beside the image as &lt;name&gt;-alpha.</source>
        <translation>Maskierte Bilder mit ihrer Transparenz speichern: png, tif und tga erhalten einen Alphakanal, die übrigen Formate die Maske neben dem Bild als &lt;Name&gt;-alpha.</translation>
    </message>
    <message>
        <location line="+6"/>
        <source>Keep Encoded Streams</source>
        <translation>Kodierte Datenströme behalten</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Copy grey and CMYK jpg, JPEG 2000 and fax images as they are stored in the pdf file, without decoding them.</source>
        <translation>Graustufen- und CMYK-jpg-, JPEG-2000- und Faxbilder so kopieren, wie sie in der PDF-Datei gespeichert sind, ohne sie zu dekodieren.</translation>
    </message>
</context>
<context>
    <name>CTipDialog</name>
    <message>
        <location filename="../src/app/CTipDialog.cpp" line="+72"/>
        <source>Tip of the Day</source>
        <translation>Tipp des Tages</translation>
    </message>
    <message>
        <location line="+39"/>
        <source>&amp;Show Tips on StartUp</source>
        <translation>Tipps beim &amp;Start anzeigen</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>&amp;Next Tip</source>
        <translation>&amp;Nächster Tipp</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>&amp;Close</source>
        <translation>&amp;Schließen</translation>
    </message>
    <message>
        <location line="+30"/>
        <source>Did you know...</source>
        <translation>Wussten Sie schon...</translation>
    </message>
    <message>
        <location line="+4"/>
        <source>Tips file does not exist in the prescribed directory</source>
        <translation>Die Tippdatei ist im vorgesehenen Ordner nicht vorhanden</translation>
    </message>
    <message>
        <location line="+4"/>
        <source>Trouble reading the tips file</source>
        <translation>Die Tippdatei kann nicht gelesen werden</translation>
    </message>
    <message>
        <location line="+4"/>
        <source>The tips file holds no tips.</source>
        <translation>Die Tippdatei enthält keine Tipps.</translation>
    </message>
</context>
<context>
    <name>Commands</name>
    <message>
        <location filename="../src/app/CommandTable.cpp" line="+9"/>
        <source>&amp;Open File...</source>
        <translation>Datei ö&amp;ffnen...</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>Open File</source>
        <translation>Datei öffnen</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Open &amp;Directory...</source>
        <translation>&amp;Ordner öffnen...</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>Import Directory</source>
        <translation>Ordner importieren</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>Open Directory</source>
        <translation>Ordner öffnen</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Open File Directory</source>
        <translation>Ordner der Datei öffnen</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Open with Associated App</source>
        <translation>Mit zugeordneter Anwendung öffnen</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Remove Selected</source>
        <translation>Markierte entfernen</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>Remove Current Selected Item</source>
        <translation>Markierten Eintrag entfernen</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Remove All</source>
        <translation>Alle entfernen</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Select Current Item</source>
        <translation>Aktuellen Eintrag auswählen</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Select All Items</source>
        <translation>Alle Einträge auswählen</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Clear All Selected</source>
        <translation>Auswahl aufheben</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Invert Select</source>
        <translation>Auswahl umkehren</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Start Convert</source>
        <translation>Umwandlung starten</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Stop Convert</source>
        <translation>Umwandlung anhalten</translation>
    </message>
</context>
<context>
    <name>FileList</name>
    <message>
        <location filename="../src/filelist/FileList.cpp" line="+26"/>
        <source>File Name</source>
        <translation>Dateiname</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>File Size</source>
        <translation>Dateigröße</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Creation Date</source>
        <translation>Erstellt</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Owner Password</source>
        <translation>Besitzerkennwort</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>User Password</source>
        <translation>Benutzerkennwort</translation>
    </message>
    <message>
        <location line="+18"/>
        <source>PDF Files (*.pdf)</source>
        <translation>PDF-Dateien (*.pdf)</translation>
    </message>
    <message>
        <location line="+64"/>
        <source>File: %1 have been imported!</source>
        <translation>Datei: %1 ist bereits importiert!</translation>
    </message>
    <message>
        <location line="+45"/>
        <source>File: %1 has too long a path!</source>
        <translation>Datei: %1 hat einen zu langen Pfad!</translation>
    </message>
</context>
<context>
    <name>FolderChooserDialog</name>
    <message>
        <location filename="../src/filelist/FolderChooserDialog.cpp" line="+18"/>
        <source>Please Select a Folder</source>
        <translation>Bitte einen Ordner wählen</translation>
    </message>
    <message>
        <location line="+17"/>
        <source>Please Select the File Type:</source>
        <translation>Bitte den Dateityp wählen:</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>PDF Files (*.pdf)</source>
        <translation>PDF-Dateien (*.pdf)</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Current Folder:</source>
        <translation>Aktueller Ordner:</translation>
    </message>
    <message>
        <location line="+5"/>
        <source>&amp;Select</source>
        <translation>&amp;Auswählen</translation>
    </message>
    <message>
        <location line="+38"/>
        <source>Invalid directory</source>
        <translation>Ungültiger Ordner</translation>
    </message>
    <message>
        <location line="+8"/>
        <source>

The selected path isn&apos;t exist, create it?</source>
        <translation>

Der gewählte Pfad existiert nicht. Soll er angelegt werden?</translation>
    </message>
    <message>
        <location line="+4"/>
        <source>Can not create directory
</source>
        <translation>Ordner kann nicht angelegt werden
</translation>
    </message>
</context>
<context>
    <name>MainForm</name>
    <message>
        <location filename="../src/app/MainForm.cpp" line="+41"/>
        <source>Waiting for converting.</source>
        <translation>Warten auf Umwandlung.</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>Convert stopped.</source>
        <translation>Umwandlung angehalten.</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>Show Passwords</source>
        <translation>Kennwörter anzeigen</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>Convert stopped. Finishing the current page...</source>
        <translation>Umwandlung angehalten. Die aktuelle Seite wird abgeschlossen...</translation>
    </message>
    <message>
        <location line="+61"/>
        <source>Current</source>
        <translation>Aktuell</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Total</source>
        <translation>Gesamt</translation>
    </message>
</context>
<context>
    <name>OptionTree</name>
    <message>
        <location filename="../src/controls/OptionTree.cpp" line="+70"/>
        <source>%1: step up</source>
        <translation>%1: erhöhen</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>%1: step down</source>
        <translation>%1: verringern</translation>
    </message>
    <message>
        <location line="+156"/>
        <source>(each PDF&apos;s own folder)</source>
        <translation>(Ordner der jeweiligen PDF-Datei)</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>Choose a folder</source>
        <translation>Ordner wählen</translation>
    </message>
</context>
<context>
    <name>PdfSummaryView</name>
    <message>
        <location filename="../src/app/PdfSummaryView.cpp" line="+54"/>
        <source>	This file needs its user password: type it into the row&apos;s User Password cell.
</source>
        <translation>	Diese Datei braucht ihr Benutzerkennwort: bitte in die Zelle „Benutzerkennwort“ ihrer Zeile eingeben.
</translation>
    </message>
</context>
</TS>
