<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="cs_CZ">
<context>
    <name>ConsoleProcess</name>
    <message>
        <source>%1 is still running</source>
        <translation>%1 stále běží</translation>
    </message>
    <message>
        <source>Cannot open a terminal for %1: %2</source>
        <translation>Nelze otevřít terminál pro %1: %2</translation>
    </message>
    <message>
        <source>Cannot start %1: %2</source>
        <translation>Nelze spustit %1: %2</translation>
    </message>
    <message>
        <source>The program is not running</source>
        <translation>Program neběží</translation>
    </message>
    <message>
        <source>Cannot give %1 a terminal: %2</source>
        <translation>Nelze přidělit programu %1 terminál: %2</translation>
    </message>
    <message>
        <source>Cannot start %1 in %2: %3</source>
        <translation>Nelze spustit %1 ve složce %2: %3</translation>
    </message>
</context>
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
    <message>
        <source>location_en</source>
        <translation>location_cz</translation>
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
<context>
    <name>VPNConnection</name>
    <message>
        <source>Connecting to server</source>
        <translation>Připojování k serveru</translation>
    </message>
    <message>
        <source>Creating VPN tunnel</source>
        <translation>Vytváření VPN tunelu</translation>
    </message>
    <message>
        <source>Server connection failure.
Cannot resolve host address.</source>
        <translation>Selhalo spojení se serverem.
Nelze přeložit adresu serveru.</translation>
    </message>
    <message>
        <source>Authentication failed.
Check your VPN access subscription, please.</source>
        <translation>Ověření selhalo.
Zkontrolujte prosím své předplatné přístupu k VPN.</translation>
    </message>
    <message>
        <source>Creating VPN tunnel failed.
All Quillnet adapters on this system are currently in use.</source>
        <translation>Vytvoření VPN tunelu selhalo.
Všechny adaptéry Quillnet jsou v tomto systému právě používány.</translation>
    </message>
    <message>
        <source>Creating VPN tunnel failed.
There is no &apos;Quillnet&apos; adapter on this system. Try to reinstall Quillnet.</source>
        <translation>Vytvoření VPN tunelu selhalo.
V tomto systému není žádný adaptér &apos;Quillnet&apos;. Zkuste Quillnet přeinstalovat.</translation>
    </message>
    <message>
        <source>Creating VPN tunnel failed.
Quillnet is not allowed to create network tunnels on this system.</source>
        <translation>Vytvoření VPN tunelu selhalo.
Quillnet nemá v tomto systému oprávnění vytvářet síťové tunely.</translation>
    </message>
    <message>
        <source>Connection to server failed,
will try again in 5 seconds.</source>
        <translation>Spojení se serverem selhalo,
nový pokus za 5 sekund.</translation>
    </message>
    <message>
        <source>Initializing</source>
        <translation>Inicializace</translation>
    </message>
    <message>
        <source>Creating VPN tunnel failed.
The OpenVPN program cannot be started.</source>
        <translation>Vytvoření VPN tunelu selhalo.
Program OpenVPN nelze spustit.</translation>
    </message>
    <message>
        <source>Disconnecting</source>
        <translation>Odpojování</translation>
    </message>
    <message>
        <source>Connected</source>
        <translation>Připojeno</translation>
    </message>
</context>
</TS>
