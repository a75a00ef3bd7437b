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
    <name>LoginDialog</name>
    <message>
        <source>Quillnet 2.0</source>
        <translation>Quillnet 2.0</translation>
    </message>
    <message>
        <source>Login to free quillnet</source>
        <translation>Přihlásit se do bezplatného Quillnetu</translation>
    </message>
    <message>
        <source>User name</source>
        <translation>Uživatelské jméno</translation>
    </message>
    <message>
        <source>Password</source>
        <translation>Heslo</translation>
    </message>
    <message>
        <source>Log me into quillnet</source>
        <translation>Přihlásit se do Quillnetu</translation>
    </message>
    <message>
        <source>Remember my name and password</source>
        <translation>Zapamatovat si jméno a heslo</translation>
    </message>
    <message>
        <source>Login automatically on quillnet startup</source>
        <translation>Přihlásit automaticky při spuštění Quillnetu</translation>
    </message>
    <message>
        <source>Don&apos;t have an account?</source>
        <translation>Nemáte účet?</translation>
    </message>
    <message>
        <source>Login, please</source>
        <translation>Přihlaste se, prosím</translation>
    </message>
</context>
<context>
    <name>LoginDlg</name>
    <message>
        <source>location_en</source>
        <translation>location_cz</translation>
    </message>
    <message>
        <source>... or get an account </source>
        <translation>... nebo si založte účet </translation>
    </message>
    <message>
        <source>here</source>
        <translation>zde</translation>
    </message>
    <message>
        <source>Fill in your user name and password, please.</source>
        <translation>Vyplňte prosím uživatelské jméno a heslo.</translation>
    </message>
    <message>
        <source>If you don&apos;t have one, you can login to free version of quillnet with the other button.</source>
        <translation>Pokud účet nemáte, můžete se druhým tlačítkem přihlásit do bezplatné verze Quillnetu.</translation>
    </message>
    <message>
        <source>Authenticating user</source>
        <translation>Ověřování uživatele</translation>
    </message>
    <message>
        <source>Login failed.</source>
        <translation>Přihlášení selhalo.</translation>
    </message>
    <message>
        <source>Check your user name and password, please.</source>
        <translation>Zkontrolujte prosím uživatelské jméno a heslo.</translation>
    </message>
    <message>
        <source>Configuration files creation failed</source>
        <translation>Vytvoření konfiguračních souborů selhalo</translation>
    </message>
    <message>
        <source>Check your access rights, please.</source>
        <translation>Zkontrolujte prosím svá přístupová práva.</translation>
    </message>
    <message>
        <source>Enabling adapter</source>
        <translation>Zapínání adaptéru</translation>
    </message>
    <message>
        <source>Resetting adapter</source>
        <translation>Restartování adaptéru</translation>
    </message>
    <message>
        <source>Loading settings</source>
        <translation>Načítání nastavení</translation>
    </message>
    <message>
        <source>Disabling adapter</source>
        <translation>Vypínání adaptéru</translation>
    </message>
    <message>
        <source>Quillnet</source>
        <translation>Quillnet</translation>
    </message>
    <message>
        <source>Are you sure you want to exit?</source>
        <translation>Opravdu chcete skončit?</translation>
    </message>
    <message>
        <source>If you are using proxy server click for &lt;a href=&apos;proxy&apos;&gt;Proxy settings&lt;/a&gt;. In case you are looking for help use &lt;a href=&apos;support&apos;&gt;Support&lt;/a&gt; dialog.</source>
        <translation>Pokud používáte proxy server, klikněte na &lt;a href=&apos;proxy&apos;&gt;Nastavení proxy&lt;/a&gt;. Pokud hledáte pomoc, použijte dialog &lt;a href=&apos;support&apos;&gt;Podpora&lt;/a&gt;.</translation>
    </message>
    <message>
        <source>Quillnet by Korvex</source>
        <translation>Quillnet od Korvexu</translation>
    </message>
    <message>
        <source>Log me into quillnet</source>
        <translation>Přihlásit se do Quillnetu</translation>
    </message>
    <message>
        <source>Login to free quillnet</source>
        <translation>Přihlásit se do bezplatného Quillnetu</translation>
    </message>
    <message>
        <source>Stop connecting</source>
        <translation>Zastavit připojování</translation>
    </message>
    <message>
        <source>Disconnect</source>
        <translation>Odpojit</translation>
    </message>
    <message>
        <source>IP: %1
Connected since %2</source>
        <translation>IP: %1
Připojeno od %2</translation>
    </message>
    <message>
        <source>Quillnet connected</source>
        <translation>Quillnet je připojen</translation>
    </message>
    <message>
        <source>Stop reconnecting</source>
        <translation>Zastavit opětovné připojování</translation>
    </message>
    <message>
        <source>Stop disconnecting</source>
        <translation>Zastavit odpojování</translation>
    </message>
    <message>
        <source>Error occured.</source>
        <translation>Došlo k chybě.</translation>
    </message>
    <message>
        <source>Server connection failure.</source>
        <translation>Selhalo spojení se serverem.</translation>
    </message>
    <message>
        <source>Check your firewall and &lt;a href=&apos;proxy&apos;&gt;Proxy settings&lt;/a&gt;.
For help you can use &lt;a href=&apos;support&apos;&gt;Support&lt;/a&gt; dialog.</source>
        <translation>Zkontrolujte firewall a &lt;a href=&apos;proxy&apos;&gt;Nastavení proxy&lt;/a&gt;.
Pro pomoc můžete použít dialog &lt;a href=&apos;support&apos;&gt;Podpora&lt;/a&gt;.</translation>
    </message>
    <message>
        <source>Quillnet is reconnecting</source>
        <translation>Quillnet se znovu připojuje</translation>
    </message>
    <message>
        <source>Checking updates</source>
        <translation>Hledání aktualizací</translation>
    </message>
    <message>
        <source>Update of Quillnet is available.
Do you want to download and install it now?</source>
        <translation>Je k dispozici aktualizace Quillnetu.
Chcete ji nyní stáhnout a nainstalovat?</translation>
    </message>
    <message>
        <source>Downloading update</source>
        <translation>Stahování aktualizace</translation>
    </message>
    <message>
        <source>Downloading %1%</source>
        <translation>Stahování %1%</translation>
    </message>
    <message>
        <source>Connection timeout.</source>
        <translation>Vypršel časový limit spojení.</translation>
    </message>
    <message>
        <source>Unable to load server certificate.</source>
        <translation>Nelze načíst certifikát serveru.</translation>
    </message>
    <message>
        <source>Unable to autenticate server certificate.</source>
        <translation>Nelze ověřit certifikát serveru.</translation>
    </message>
</context>
<context>
    <name>MailDialog</name>
    <message>
        <source>No, send normally</source>
        <translation>Ne, odeslat normálně</translation>
    </message>
    <message>
        <source>Cancel, don&apos;t send at all</source>
        <translation>Zrušit, vůbec neodesílat</translation>
    </message>
    <message>
        <source>Quillnet - Outgoing e-mail</source>
        <translation>Quillnet - Odchozí e-mail</translation>
    </message>
    <message>
        <source>Send this email anonymously?</source>
        <translation>Odeslat tento e-mail anonymně?</translation>
    </message>
    <message>
        <source>Quillnet</source>
        <translation>Quillnet</translation>
    </message>
    <message>
        <source>Are you sure you want to cancel the outgoing e-mail?</source>
        <translation>Opravdu chcete zrušit odchozí e-mail?</translation>
    </message>
</context>
<context>
    <name>MainForm</name>
    <message>
        <source>Quillnet</source>
        <translation>Quillnet</translation>
    </message>
    <message>
        <source>Reconnect</source>
        <translation>Připojit znovu</translation>
    </message>
    <message>
        <source>Log out</source>
        <translation>Odhlásit</translation>
    </message>
    <message>
        <source>Exit Quillnet</source>
        <translation>Ukončit Quillnet</translation>
    </message>
    <message>
        <source>Connected to %1
Your address on the Internet: %2</source>
        <translation>Připojeno k %1
Vaše adresa na Internetu: %2</translation>
    </message>
    <message>
        <source>Are you sure you want to log out?</source>
        <translation>Opravdu se chcete odhlásit?</translation>
    </message>
</context>
<context>
    <name>ProxyDlg</name>
    <message>
        <source>Quillnet - Proxy settings</source>
        <translation>Quillnet - Nastavení proxy</translation>
    </message>
    <message>
        <source>Proxy settings</source>
        <translation>Nastavení proxy</translation>
    </message>
    <message>
        <source>Save</source>
        <translation>Uložit</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Zrušit</translation>
    </message>
</context>
<context>
    <name>ProxyWidget</name>
    <message>
        <source>Form</source>
        <translation>Formulář</translation>
    </message>
    <message>
        <source>No proxy</source>
        <translation>Bez proxy</translation>
    </message>
    <message>
        <source>Use Internet Explorer settings</source>
        <translation>Použít nastavení proxy systému</translation>
    </message>
    <message>
        <source>Specify my own local proxy server</source>
        <translation>Zadat vlastní proxy server</translation>
    </message>
    <message>
        <source>HTTP proxy:</source>
        <translation>HTTP proxy:</translation>
    </message>
    <message>
        <source>Address:</source>
        <translation>Adresa:</translation>
    </message>
    <message>
        <source>Port:</source>
        <translation>Port:</translation>
    </message>
    <message>
        <source>Proxy server needs authorization</source>
        <translation>Proxy server vyžaduje ověření</translation>
    </message>
    <message>
        <source>Name:</source>
        <translation>Jméno:</translation>
    </message>
    <message>
        <source>Password:</source>
        <translation>Heslo:</translation>
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
    <name>SplitButton</name>
    <message>
        <source>Yes, send as </source>
        <translation>Ano, odeslat jako </translation>
    </message>
    <message>
        <source>None alias registered</source>
        <translation>Není registrován žádný alias</translation>
    </message>
    <message>
        <source>Checking alias...</source>
        <translation>Ověřuji alias...</translation>
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
    <message>
        <source>&amp;Junk mail</source>
        <translation>&amp;Nevyžádaná pošta</translation>
    </message>
    <message>
        <source>&amp;Show</source>
        <translation>&amp;Zobrazit</translation>
    </message>
    <message>
        <source>&amp;Hide</source>
        <translation>&amp;Skrýt</translation>
    </message>
    <message>
        <source>Quillnet</source>
        <translation>Quillnet</translation>
    </message>
    <message>
        <source>There is still active connection that will be closed if you exit Quillnet.
Are you sure you want to exit?</source>
        <translation>Stále je aktivní připojení, které bude ukončeno, pokud Quillnet ukončíte.
Opravdu chcete skončit?</translation>
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
<context>
    <name>WebFilter</name>
    <message>
        <source>None</source>
        <translation>Žádný</translation>
    </message>
    <message>
        <source>Windows XP</source>
        <translation>Windows XP</translation>
    </message>
    <message>
        <source>Windows Vista</source>
        <translation>Windows Vista</translation>
    </message>
    <message>
        <source>GNU/Linux</source>
        <translation>GNU/Linux</translation>
    </message>
    <message>
        <source>Mac OS X</source>
        <translation>Mac OS X</translation>
    </message>
    <message>
        <source>Internet Explorer</source>
        <translation>Internet Explorer</translation>
    </message>
    <message>
        <source>Mozilla Firefox</source>
        <translation>Mozilla Firefox</translation>
    </message>
    <message>
        <source>Opera</source>
        <translation>Opera</translation>
    </message>
    <message>
        <source>Konqueror</source>
        <translation>Konqueror</translation>
    </message>
    <message>
        <source>Safari</source>
        <translation>Safari</translation>
    </message>
    <message>
        <source>Quillnet</source>
        <translation>Quillnet</translation>
    </message>
    <message>
        <source>Web filtering proxy couldn&apos;t bind to port 10080.
There may be other proxy running.</source>
        <translation>Filtrovací proxy se nepodařilo otevřít port 10080.
Pravděpodobně běží jiná proxy.</translation>
    </message>
    <message>
        <source>Leave unchanged</source>
        <translation>Ponechat beze změny</translation>
    </message>
</context>
</TS>
