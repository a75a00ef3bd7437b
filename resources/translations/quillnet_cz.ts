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
