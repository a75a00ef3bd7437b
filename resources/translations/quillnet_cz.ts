<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="cs_CZ">
<context>
    <name>LoginDlg</name>
    <message>
        <source>Quillnet 2.0</source>
        <translation>Quillnet 2.0</translation>
    </message>
    <message>
        <source>Login, please</source>
        <translation>Přihlaste se, prosím</translation>
    </message>
</context>
<context>
    <name>ResponseCheck</name>
    <message>
        <source>Invalid server response.</source>
        <translation>Neplatná odpověď serveru.</translation>
    </message>
    <message>
        <source>Server response timeout.</source>
        <translation>Server neodpověděl včas.</translation>
    </message>
    <message>
        <source>Unknown server error occurred.</source>
        <translation>Došlo k neznámé chybě serveru.</translation>
    </message>
</context>
<context>
    <name>TrayWidget</name>
    <message>
        <source>&amp;Quit</source>
        <translation>&amp;Ukončit</translation>
    </message>
    <message>
        <source>Quillnet by Korvex</source>
        <translation>Quillnet od Korvexu</translation>
    </message>
</context>
</TS>
