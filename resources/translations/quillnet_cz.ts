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
    <name>EmailPage</name>
    <message>
        <source>Add</source>
        <translation>Přidat</translation>
    </message>
    <message>
        <source>Remove</source>
        <translation>Odebrat</translation>
    </message>
    <message>
        <source>Change</source>
        <translation>Změnit</translation>
    </message>
    <message>
        <source>Receiving</source>
        <translation>Příjem</translation>
    </message>
    <message>
        <source>Enable receiving of anonymous emails</source>
        <translation>Povolit příjem anonymních e-mailů</translation>
    </message>
    <message>
        <source>Sending</source>
        <translation>Odesílání</translation>
    </message>
    <message>
        <source>Make my outgoing emails anonymous</source>
        <translation>Odesílat mé e-maily anonymně</translation>
    </message>
    <message>
        <source>Send my anonymous email as:</source>
        <translation>Anonymní e-mail odesílat jako:</translation>
    </message>
    <message>
        <source>When you send email, Quillnet will always ask you which identity do you want to use.
This one will be chosen defaultly.</source>
        <translation>Při odesílání e-mailu se vás Quillnet vždy zeptá, kterou identitu chcete použít.
Tato bude zvolena jako výchozí.</translation>
    </message>
    <message>
        <source>Alias (%1)</source>
        <translation>Alias (%1)</translation>
    </message>
    <message>
        <source>Forward to</source>
        <translation>Přeposílat na</translation>
    </message>
    <message>
        <source>alias</source>
        <translation>alias</translation>
    </message>
    <message>
        <source>forward to email</source>
        <translation>přeposílat na e-mail</translation>
    </message>
    <message>
        <source>You are logged
in free Quillnet.
To take advantage
of these services,
please register.</source>
        <translation>Jste přihlášeni
do bezplatného Quillnetu.
Chcete-li využívat
tyto služby,
zaregistrujte se.</translation>
    </message>
    <message>
        <source>Quillnet</source>
        <translation>Quillnet</translation>
    </message>
    <message>
        <source>Mail anonymization proxy couldn&apos;t bind to port %1.
There may be other mail proxy running.</source>
        <translation>Proxy pro anonymizaci e-mailů se nepodařilo otevřít port %1.
Pravděpodobně běží jiná poštovní proxy.</translation>
    </message>
    <message>
        <source>Click here to add a new alias...</source>
        <translation>Klikněte sem a přidejte nový alias...</translation>
    </message>
    <message>
        <source>Checking alias</source>
        <translation>Kontroluji alias</translation>
    </message>
    <message>
        <source>Unable to get list of aliases.</source>
        <translation>Nelze získat seznam aliasů.</translation>
    </message>
    <message>
        <source>Some aliases sent by the service were not valid and were left out.</source>
        <translation>Některé aliasy zaslané službou nebyly platné a byly vynechány.</translation>
    </message>
    <message>
        <source>Settings loaded</source>
        <translation>Nastavení načteno</translation>
    </message>
    <message>
        <source>Registering alias</source>
        <translation>Registruji alias</translation>
    </message>
    <message>
        <source>This alias is taken, please choose another one.</source>
        <translation>Tento alias je obsazen, zvolte prosím jiný.</translation>
    </message>
    <message>
        <source>Settings saved</source>
        <translation>Nastavení uloženo</translation>
    </message>
    <message>
        <source>Removing alias</source>
        <translation>Odebírám alias</translation>
    </message>
    <message>
        <source>Unknown error occured.</source>
        <translation>Došlo k neznámé chybě.</translation>
    </message>
    <message>
        <source>Changing alias</source>
        <translation>Měním alias</translation>
    </message>
    <message>
        <source>Junk mail</source>
        <translation>Jednorázový e-mail</translation>
    </message>
    <message>
        <source>Registering alias %1%2 is in progress.</source>
        <translation>Probíhá registrace aliasu %1%2.</translation>
    </message>
    <message>
        <source>Junk mail - error</source>
        <translation>Jednorázový e-mail - chyba</translation>
    </message>
    <message>
        <source>Registering alias failed. </source>
        <translation>Registrace aliasu selhala. </translation>
    </message>
    <message>
        <source>To receive emails, please setup new alias in the Email tab.</source>
        <translation>Pro příjem e-mailů si prosím nastavte nový alias na záložce E-mail.</translation>
    </message>
    <message>
        <source>Incoming emails will be forwarded to %1.</source>
        <translation>Příchozí e-maily budou přeposílány na %1.</translation>
    </message>
    <message>
        <source>Junk mail - success</source>
        <translation>Jednorázový e-mail - úspěch</translation>
    </message>
    <message>
        <source>Alias %1%2 is in your clipboard now. </source>
        <translation>Alias %1%2 je nyní ve vaší schránce. </translation>
    </message>
    <message>
        <source>Loading receiving settings</source>
        <translation>Načítám nastavení příjmu</translation>
    </message>
    <message>
        <source>Enabling email receiving</source>
        <translation>Zapínám příjem e-mailů</translation>
    </message>
    <message>
        <source>Disabling email receiving</source>
        <translation>Vypínám příjem e-mailů</translation>
    </message>
    <message>
        <source>Error occured. Unable to enable email receiving</source>
        <translation>Došlo k chybě. Příjem e-mailů nelze zapnout</translation>
    </message>
    <message>
        <source>Error occured. Unable to disable email receiving</source>
        <translation>Došlo k chybě. Příjem e-mailů nelze vypnout</translation>
    </message>
    <message>
        <source>Receiving enabled</source>
        <translation>Příjem zapnut</translation>
    </message>
    <message>
        <source>Receiving disabled</source>
        <translation>Příjem vypnut</translation>
    </message>
    <message>
        <source>Only letters a-z, digits and . - _ can be used in an alias.</source>
        <translation>V aliasu lze použít jen písmena a-z, číslice a znaky . - _</translation>
    </message>
    <message>
        <source>Only letters a-z, digits, @ and . - _ can be used in an e-mail address.</source>
        <translation>V e-mailové adrese lze použít jen písmena a-z, číslice, @ a znaky . - _</translation>
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
        <translation>Opravdu chcete Quillnet ukončit?</translation>
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
    <message>
        <source>Invalid server response.</source>
        <translation>Neplatná odpověď serveru.</translation>
    </message>
    <message>
        <source>Quillnet disconnected</source>
        <translation>Quillnet je odpojen</translation>
    </message>
    <message>
        <source>The connection to the server was lost.</source>
        <translation>Spojení se serverem bylo přerušeno.</translation>
    </message>
    <message>
        <source>Update failed.</source>
        <translation>Aktualizace selhala.</translation>
    </message>
    <message>
        <source>The update could not be downloaded.</source>
        <translation>Aktualizaci se nepodařilo stáhnout.</translation>
    </message>
    <message>
        <source>Tunnel configuration refused.</source>
        <translation>Konfigurace tunelu odmítnuta.</translation>
    </message>
    <message>
        <source>The server&apos;s answer is too large.</source>
        <translation>Odpověď serveru je příliš velká.</translation>
    </message>
    <message>
        <source>The update was downloaded but could not be started.</source>
        <translation>Aktualizace se stáhla, ale nepodařilo se ji spustit.</translation>
    </message>
    <message>
        <source>Fill in your user name and password.</source>
        <translation>Vyplňte uživatelské jméno a heslo.</translation>
    </message>
    <message>
        <source>No account? Log in to the free Quillnet with the other button.</source>
        <translation>Nemáte-li účet, přihlaste se do bezplatného Quillnetu druhým tlačítkem.</translation>
    </message>
    <message>
        <source>Setting not allowed on line %1: &quot;%2&quot;</source>
        <translation>Nepovolené nastavení na řádku %1: „%2“</translation>
    </message>
    <message>
        <source>Traffic outside the tunnel is not blocked</source>
        <translation>Provoz mimo tunel není blokován</translation>
    </message>
    <message>
        <source>Traffic outside the tunnel is blocked, except to the local network</source>
        <translation>Provoz mimo tunel je blokován, kromě místní sítě</translation>
    </message>
    <message>
        <source>Traffic outside the tunnel is blocked</source>
        <translation>Provoz mimo tunel je blokován</translation>
    </message>
    <message>
        <source>A new version of Quillnet is available; you have %1.</source>
        <translation>K dispozici je nová verze Quillnetu; vy máte verzi %1.</translation>
    </message>
    <message>
        <source>Quillnet %1 is available; you have %2.</source>
        <translation>K dispozici je Quillnet %1; vy máte verzi %2.</translation>
    </message>
    <message>
        <source>Quillnet was installed from a package: update it with your package manager, or get the new package from the download page and open it.</source>
        <translation>Quillnet byl nainstalován z balíčku: aktualizujte jej správcem balíčků, nebo si nový balíček stáhněte ze stránky ke stažení a otevřete jej.</translation>
    </message>
    <message>
        <source>Open download page</source>
        <translation>Otevřít stránku ke stažení</translation>
    </message>
    <message>
        <source>Not now</source>
        <translation>Teď ne</translation>
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
    <message>
        <source>To:</source>
        <translation>Komu:</translation>
    </message>
    <message>
        <source>Subject:</source>
        <translation>Předmět:</translation>
    </message>
</context>
<context>
    <name>MainForm</name>
    <message>
        <source>Quillnet</source>
        <translation>Quillnet</translation>
    </message>
    <message>
        <source>Alias is empty.</source>
        <translation>Alias je prázdný.</translation>
    </message>
    <message>
        <source>Alias is not valid.</source>
        <translation>Alias není platný.</translation>
    </message>
    <message>
        <source>Email address is not valid.</source>
        <translation>E-mailová adresa není platná.</translation>
    </message>
    <message>
        <source>Forwarding to %1 domain is not allowed.</source>
        <translation>Přeposílání do domény %1 není povoleno.</translation>
    </message>
    <message>
        <source>Quillnet 2.0</source>
        <translation>Quillnet 2.0</translation>
    </message>
    <message>
        <source>Proxy settings</source>
        <translation>Nastavení proxy</translation>
    </message>
    <message>
        <source>There is still active connection that will be closed.
Do you want to reconnect?</source>
        <translation>Stále je aktivní spojení, které bude ukončeno.
Chcete se znovu připojit?</translation>
    </message>
    <message>
        <source>There is still active connection that will be closed.
Do you want to disconnect?</source>
        <translation>Stále je aktivní spojení, které bude ukončeno.
Chcete se odpojit?</translation>
    </message>
    <message>
        <source>There is still active connection that will be closed if you exit Quillnet.
Are you sure you want to exit?</source>
        <translation>Stále je aktivní spojení, které se ukončením Quillnetu přeruší.
Opravdu chcete Quillnet ukončit?</translation>
    </message>
    <message>
        <source>Quillnet is reconnecting</source>
        <translation>Quillnet se znovu připojuje</translation>
    </message>
</context>
<context>
    <name>PersonalPage</name>
    <message>
        <source>Personal settings</source>
        <translation>Osobní nastavení</translation>
    </message>
    <message>
        <source>My contact email address</source>
        <translation>Moje kontaktní e-mailová adresa</translation>
    </message>
    <message>
        <source>Your current email</source>
        <translation>Váš současný e-mail</translation>
    </message>
    <message>
        <source>New email</source>
        <translation>Nový e-mail</translation>
    </message>
    <message>
        <source>Clear</source>
        <translation>Smazat</translation>
    </message>
    <message>
        <source>This email adress will be used solely for communicating with you and for support issues. We won&apos;t use this email to any other purposes.</source>
        <translation>Tuto e-mailovou adresu použijeme výhradně ke komunikaci s vámi a k řešení vašich dotazů na podporu. K žádným jiným účelům ji nepoužijeme.</translation>
    </message>
    <message>
        <source>Change my password</source>
        <translation>Změnit heslo</translation>
    </message>
    <message>
        <source>Current password</source>
        <translation>Současné heslo</translation>
    </message>
    <message>
        <source>New password</source>
        <translation>Nové heslo</translation>
    </message>
    <message>
        <source>Confirm new password</source>
        <translation>Potvrzení nového hesla</translation>
    </message>
    <message>
        <source>Change</source>
        <translation>Změnit</translation>
    </message>
    <message>
        <source>Invalid char has been filtered.</source>
        <translation>Neplatný znak byl odfiltrován.</translation>
    </message>
    <message>
        <source>You are logged in free Quillnet.
To take advantage of these services, please register.</source>
        <translation>Jste přihlášeni do bezplatného Quillnetu.
Chcete-li využívat tyto služby, zaregistrujte se.</translation>
    </message>
    <message>
        <source>Loading settings</source>
        <translation>Načítám nastavení</translation>
    </message>
    <message>
        <source>The server sent an invalid contact address.</source>
        <translation>Server poslal neplatnou kontaktní adresu.</translation>
    </message>
    <message>
        <source>Settings loaded</source>
        <translation>Nastavení načteno</translation>
    </message>
    <message>
        <source>Invalid email address.</source>
        <translation>Neplatná e-mailová adresa.</translation>
    </message>
    <message>
        <source>Settings saved</source>
        <translation>Nastavení uloženo</translation>
    </message>
    <message>
        <source>Invalid current password.</source>
        <translation>Neplatné současné heslo.</translation>
    </message>
    <message>
        <source>Bad password confirmation.</source>
        <translation>Potvrzení hesla nesouhlasí.</translation>
    </message>
    <message>
        <source>Please wait</source>
        <translation>Čekejte prosím</translation>
    </message>
    <message>
        <source>Block all traffic outside the tunnel</source>
        <translation>Blokovat veškerý provoz mimo tunel</translation>
    </message>
    <message>
        <source>While you are logged in, nothing leaves this computer except through the tunnel, also while it reconnects.</source>
        <translation>Dokud jste přihlášeni, nic neopustí tento počítač jinak než tunelem, ani když se tunel znovu připojuje.</translation>
    </message>
    <message>
        <source>Allow the local network</source>
        <translation>Povolit místní síť</translation>
    </message>
    <message>
        <source>Printers, file servers and other devices on the networks this computer is connected to stay reachable; nothing beyond them passes outside the tunnel.</source>
        <translation>Tiskárny, souborové servery a další zařízení v sítích, k nimž je tento počítač připojen, zůstanou dostupné; nic dalšího mimo tunel neprojde.</translation>
    </message>
    <message>
        <source>Your contact address was not changed.</source>
        <translation>Vaše kontaktní adresa nebyla změněna.</translation>
    </message>
    <message>
        <source>Your password was not changed.</source>
        <translation>Vaše heslo nebylo změněno.</translation>
    </message>
    <message>
        <source>Start Quillnet when I log in</source>
        <translation>Spouštět Quillnet po přihlášení</translation>
    </message>
    <message>
        <source>Quillnet starts with your desktop. With &quot;Login automatically on quillnet startup&quot; in the login window, you are connected after every login.</source>
        <translation>Quillnet se spustí spolu s vaší pracovní plochou. Se zaškrtnutou volbou „Přihlásit automaticky při spuštění Quillnetu“ v přihlašovacím okně jste připojeni po každém přihlášení.</translation>
    </message>
    <message>
        <source>Quillnet could not be added to the programs started when you log in.</source>
        <translation>Quillnet se nepodařilo přidat mezi programy spouštěné po přihlášení.</translation>
    </message>
    <message>
        <source>Quillnet could not be removed from the programs started when you log in.</source>
        <translation>Quillnet se nepodařilo odebrat z programů spouštěných po přihlášení.</translation>
    </message>
</context>
<context>
    <name>PictureLettering</name>
    <message>
        <source>Reconnect</source>
        <translation>Znovu připojit</translation>
    </message>
    <message>
        <source>Renew the secure connection</source>
        <translation>Obnovit zabezpečené připojení</translation>
    </message>
    <message>
        <source>Log out</source>
        <translation>Odhlásit se</translation>
    </message>
    <message>
        <source>Disconnect and sign in as another user</source>
        <translation>Odpojit a přihlásit jiného uživatele</translation>
    </message>
    <message>
        <source>Exit Quillnet</source>
        <translation>Ukončit Quillnet</translation>
    </message>
    <message>
        <source>Close the connection and quit</source>
        <translation>Zavřít připojení a skončit</translation>
    </message>
    <message>
        <source>Web surfing</source>
        <translation>Surfování</translation>
    </message>
    <message>
        <source>E-mail</source>
        <translation>E-mail</translation>
    </message>
    <message>
        <source>Settings</source>
        <translation>Nastavení</translation>
    </message>
    <message>
        <source>Support</source>
        <translation>Podpora</translation>
    </message>
    <message>
        <source>Exit</source>
        <translation>Konec</translation>
    </message>
    <message>
        <source>You</source>
        <translation>Vy</translation>
    </message>
    <message>
        <source>Proxy</source>
        <translation>Proxy</translation>
    </message>
    <message>
        <source>Internet</source>
        <translation>Internet</translation>
    </message>
    <message>
        <source>Personal</source>
        <translation>Osobní</translation>
    </message>
    <message>
        <source>Private connection · Web filter · Anonymous e-mail</source>
        <translation>Soukromé připojení · Filtrování webu · Anonymní e-mail</translation>
    </message>
    <message>
        <source>Your private connection</source>
        <translation>Vaše soukromé připojení</translation>
    </message>
    <message>
        <source>Web filter is on</source>
        <translation>Filtrování webu je zapnuto</translation>
    </message>
    <message>
        <source>Click to switch the filter off</source>
        <translation>Kliknutím filtrování vypnete</translation>
    </message>
    <message>
        <source>Web filter is off</source>
        <translation>Filtrování webu je vypnuto</translation>
    </message>
    <message>
        <source>Click to filter ads, cookies and headers</source>
        <translation>Kliknutím zapnete filtrování reklam, cookies a hlaviček</translation>
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
    <name>SendMail</name>
    <message>
        <source>Sending your message</source>
        <translation>Odesílám vaši zprávu</translation>
    </message>
    <message>
        <source>Message sent successfully</source>
        <translation>Zpráva byla úspěšně odeslána</translation>
    </message>
    <message>
        <source>The connection to the mail server was lost.
Please try again later.</source>
        <translation>Spojení s poštovním serverem bylo přerušeno.
Zkuste to prosím později.</translation>
    </message>
    <message>
        <source>Cannot connect to the mail server.
Please check your internet connection and proxy settings.</source>
        <translation>Nelze se připojit k poštovnímu serveru.
Zkontrolujte prosím připojení k internetu a nastavení proxy.</translation>
    </message>
    <message>
        <source>The message was not sent.
An address or the subject holds a line break or angle brackets.</source>
        <translation>Zpráva nebyla odeslána.
Adresa nebo předmět obsahuje zalomení řádku nebo lomené závorky.</translation>
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
    <name>SupportDlg</name>
    <message>
        <source>Quillnet - Support</source>
        <translation>Quillnet - Podpora</translation>
    </message>
    <message>
        <source>Closing this window will discard outgoing support request.
Are you sure you want to close it?</source>
        <translation>Zavřením tohoto okna zrušíte odesílaný požadavek na podporu.
Opravdu chcete okno zavřít?</translation>
    </message>
    <message>
        <source>Closing this window will discard inserted support request.
Are you sure you want to close it?</source>
        <translation>Zavřením tohoto okna zahodíte rozepsaný požadavek na podporu.
Opravdu chcete okno zavřít?</translation>
    </message>
    <message>
        <source>Quillnet</source>
        <translation>Quillnet</translation>
    </message>
</context>
<context>
    <name>SupportWdg</name>
    <message>
        <source>Quillnet</source>
        <translation>Quillnet</translation>
    </message>
    <message>
        <source>Your message was sent successfully.</source>
        <translation>Vaše zpráva byla úspěšně odeslána.</translation>
    </message>
    <message>
        <source>Send support request</source>
        <translation>Odeslat požadavek</translation>
    </message>
    <message>
        <source>Sending has been canceled by user.</source>
        <translation>Odesílání bylo zrušeno uživatelem.</translation>
    </message>
    <message>
        <source>You did not entered message text.
Please describe what has happened and how can we help you.</source>
        <translation>Nevyplnili jste text zprávy.
Popište prosím, co se stalo a jak vám můžeme pomoci.</translation>
    </message>
    <message>
        <source>You inserted invalid email address.
We will not be able to send you the answer.

Do you want to send your request anyway?</source>
        <translation>Zadali jste neplatnou e-mailovou adresu.
Nebudeme vám moci poslat odpověď.

Chcete svůj požadavek přesto odeslat?</translation>
    </message>
    <message>
        <source>Cancel sending</source>
        <translation>Zrušit odesílání</translation>
    </message>
    <message>
        <source>Connecting to server</source>
        <translation>Připojuji se k serveru</translation>
    </message>
    <message>
        <source>%1 (%2 KiB)</source>
        <translation>%1 (%2 KiB)</translation>
    </message>
    <message>
        <source>No logs go with the request.</source>
        <translation>K žádosti se nepřikládají žádné záznamy.</translation>
    </message>
    <message>
        <source>Attached logs: %1</source>
        <translation>Přiložené záznamy: %1</translation>
    </message>
</context>
<context>
    <name>SupportWidget</name>
    <message>
        <source>Support</source>
        <translation>Podpora</translation>
    </message>
    <message>
        <source>Frequently asked questions</source>
        <translation>Často kladené otázky</translation>
    </message>
    <message>
        <source>Read the answers to the most commonly asked questions - the fastest way to solve the usual problems.</source>
        <translation>Přečtěte si odpovědi na nejčastěji kladené otázky - nejrychlejší cesta k vyřešení běžných problémů.</translation>
    </message>
    <message>
        <source>Help</source>
        <translation>Nápověda</translation>
    </message>
    <message>
        <source>Learn to use Quillnet and discover all its features.</source>
        <translation>Naučte se používat Quillnet a objevte všechny jeho funkce.</translation>
    </message>
    <message>
        <source>Discussion forum</source>
        <translation>Diskusní fórum</translation>
    </message>
    <message>
        <source>Share your tips and tricks with other users of Quillnet.</source>
        <translation>Sdílejte své tipy a triky s ostatními uživateli Quillnetu.</translation>
    </message>
    <message>
        <source>Contact support</source>
        <translation>Kontaktovat podporu</translation>
    </message>
    <message>
        <source>Your problem is not among frequently asked questions? Ask our technicians for help.&lt;br&gt;Please use this contact form instead of sending us an email, we&apos;ll be able to respond faster this way.</source>
        <translation>Váš problém není mezi často kladenými otázkami? Požádejte o pomoc naše techniky.&lt;br&gt;Použijte prosím tento kontaktní formulář místo posílání e-mailu, budeme tak moci odpovědět rychleji.</translation>
    </message>
    <message>
        <source>About Quillnet</source>
        <translation>O Quillnetu</translation>
    </message>
    <message>
        <source>Please describe what has happened and how can we help you</source>
        <translation>Popište prosím, co se stalo a jak vám můžeme pomoci</translation>
    </message>
    <message>
        <source>Your email address (for request confirm and answer)</source>
        <translation>Vaše e-mailová adresa (pro potvrzení požadavku a odpověď)</translation>
    </message>
    <message>
        <source>Send support request</source>
        <translation>Odeslat požadavek</translation>
    </message>
    <message>
        <source>Don&apos;t send now</source>
        <translation>Teď neodesílat</translation>
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
        <translation>&amp;Jednorázový e-mail</translation>
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
        <translation>Stále je aktivní spojení, které se ukončením Quillnetu přeruší.
Opravdu chcete Quillnet ukončit?</translation>
    </message>
    <message>
        <source>&amp;Connect</source>
        <translation>&amp;Připojit</translation>
    </message>
    <message>
        <source>&amp;Disconnect</source>
        <translation>&amp;Odpojit</translation>
    </message>
    <message>
        <source>There is still active connection that will be closed.
Do you want to disconnect?</source>
        <translation>Stále je aktivní spojení, které bude ukončeno.
Chcete se odpojit?</translation>
    </message>
</context>
<context>
    <name>VPNConnection</name>
    <message>
        <source>Connecting to server</source>
        <translation>Připojování k serveru</translation>
    </message>
    <message>
        <source>Reconnecting</source>
        <translation>Opětovné připojování</translation>
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
    <message>
        <source>Creating VPN tunnel failed.
OpenVPN asked for the password without hiding it.</source>
        <translation>Vytvoření VPN tunelu selhalo.
OpenVPN požádal o heslo, aniž by ho skryl.</translation>
    </message>
    <message>
        <source>Creating VPN tunnel failed.
Quillnet was not allowed to connect: the system refused the permission.</source>
        <translation>Vytvoření VPN tunelu selhalo.
Quillnet se nesměl připojit: systém odmítl udělit oprávnění.</translation>
    </message>
    <message>
        <source>Creating VPN tunnel failed.
The tunnel service refused the tunnel configuration.</source>
        <translation>Vytvoření VPN tunelu selhalo.
Služba tunelu odmítla konfiguraci tunelu.</translation>
    </message>
    <message>
        <source>Creating VPN tunnel failed.
Another VPN tunnel is running on this computer.</source>
        <translation>Vytvoření VPN tunelu selhalo.
Na tomto počítači již běží jiný VPN tunel.</translation>
    </message>
    <message>
        <source>Creating VPN tunnel failed.
The tunnel service cannot be reached.</source>
        <translation>Vytvoření VPN tunelu selhalo.
Služba tunelu není dostupná.</translation>
    </message>
    <message>
        <source>The connection could not be protected, so it was closed.</source>
        <translation>Spojení nebylo možné ochránit, proto bylo ukončeno.</translation>
    </message>
    <message>
        <source>Creating VPN tunnel failed.
Traffic outside the tunnel could not be blocked.</source>
        <translation>Vytvoření VPN tunelu selhalo.
Provoz mimo tunel nebylo možné zablokovat.</translation>
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
        <source>Web filtering proxy couldn&apos;t bind to port %1.
There may be other proxy running.</source>
        <translation>Filtrovací proxy se nepodařilo otevřít port %1.
Pravděpodobně běží jiná proxy.</translation>
    </message>
    <message>
        <source>Leave unchanged</source>
        <translation>Ponechat beze změny</translation>
    </message>
</context>
<context>
    <name>WebPage</name>
    <message>
        <source>Your actual IP:</source>
        <translation>Vaše současná IP:</translation>
    </message>
    <message>
        <source>Your current location:</source>
        <translation>Vaše současné umístění:</translation>
    </message>
    <message>
        <source>Real IP address is hidden</source>
        <translation>Skutečná IP adresa je skryta</translation>
    </message>
    <message>
        <source>Privacy protection is enabled</source>
        <translation>Ochrana soukromí je zapnuta</translation>
    </message>
    <message>
        <source>Personal identity is hidden</source>
        <translation>Osobní identita je skryta</translation>
    </message>
    <message>
        <source>Web filtering</source>
        <translation>Filtrování webu</translation>
    </message>
    <message>
        <source>Set new identity</source>
        <translation>Nastavit novou identitu</translation>
    </message>
    <message>
        <source>System:</source>
        <translation>Systém:</translation>
    </message>
    <message>
        <source>Browser:</source>
        <translation>Prohlížeč:</translation>
    </message>
    <message>
        <source>Select an operating system/browser version that you appear to use.</source>
        <translation>Vyberte operační systém a verzi prohlížeče, které se budou jevit jako vaše.</translation>
    </message>
    <message>
        <source>Block advertisements</source>
        <translation>Blokovat reklamy</translation>
    </message>
    <message>
        <source>Block cookies</source>
        <translation>Blokovat cookies</translation>
    </message>
    <message>
        <source>Filter HTTP headers</source>
        <translation>Filtrovat hlavičky HTTP</translation>
    </message>
    <message>
        <source>Web filtering proxy couldn&apos;t be started.
%1</source>
        <translation>Filtrovací proxy se nepodařilo spustit.
%1</translation>
    </message>
    <message>
        <source>Web filtering proxy settings couldn&apos;t be saved to %1.
Check your access rights, please.</source>
        <translation>Nastavení filtrovací proxy se nepodařilo uložit do %1.
Zkontrolujte prosím svá přístupová práva.</translation>
    </message>
    <message>
        <source>Block advertisements description</source>
        <translation>Odstraní z webových stránek reklamní proužky, vyskakovací okna a podobné reklamy dříve, než je prohlížeč zobrazí. Stránky se načítají rychleji a inzerenti se o vás dozvědí méně.</translation>
    </message>
    <message>
        <source>Cookies are small pieces of information that a website can store on your computer to identify you next time you show around.
If you want to stay anonymous, block them.</source>
        <translation>Cookies jsou malé kousky informací, které si webová stránka může uložit ve vašem počítači, aby vás při příští návštěvě poznala.
Chcete-li zůstat v anonymitě, zablokujte je.</translation>
    </message>
    <message>
        <source>Filter HTTP headers description</source>
        <translation>Odstraní nebo přepíše ty části každého požadavku, které webovým stránkám prozrazují váš systém, prohlížeč a stránku, ze které přicházíte.</translation>
    </message>
    <message>
        <source>Quillnet</source>
        <translation>Quillnet</translation>
    </message>
    <message>
        <source>Move your mouse cursor over an option to see its description.</source>
        <translation>Najeďte myší na volbu a zobrazí se její popis.</translation>
    </message>
    <message>
        <source>The network may need you to sign in on its own web page (in a hotel or at an airport, say) before the tunnel can reach its server.</source>
        <translation>Síť možná vyžaduje přihlášení na své vlastní webové stránce (třeba v hotelu nebo na letišti), než se tunel spojí se serverem.</translation>
    </message>
    <message>
        <source>The network is open for signing in for 2 minutes: sign in in your browser now. Only names and web pages pass outside the tunnel meanwhile.</source>
        <translation>Síť je na 2 minuty otevřena pro přihlášení: přihlaste se nyní v prohlížeči. Mimo tunel zatím projdou jen překlady jmen a webové stránky.</translation>
    </message>
    <message>
        <source>Open the network for sign-in (2 minutes)</source>
        <translation>Otevřít síť pro přihlášení (2 minuty)</translation>
    </message>
    <message>
        <source>Not connected</source>
        <translation>Nepřipojeno</translation>
    </message>
</context>
</TS>
