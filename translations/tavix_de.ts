<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de_DE">
<context>
    <name>ClockWindow</name>
    <message>
        <source>%1 min</source>
        <translation>%1 min</translation>
    </message>
    <message>
        <source>%1 s</source>
        <translation>%1 s</translation>
    </message>
</context>
<context>
    <name>tavix::ClockMode</name>
    <message>
        <source>Time</source>
        <translation>Uhrzeit</translation>
    </message>
    <message>
        <source>Countdown</source>
        <translation>Countdown</translation>
    </message>
    <message>
        <source>Stopwatch</source>
        <translation>Stoppuhr</translation>
    </message>
    <message>
        <source>Timecode</source>
        <translation>Timecode</translation>
    </message>
    <message>
        <source>Time until…</source>
        <translation>Zeit bis…</translation>
    </message>
    <message>
        <source>Time Until</source>
        <translation>Zeit bis</translation>
    </message>
</context>
<context>
    <name>tavix::ClockSettingsPopover</name>
    <message>
        <source>Name</source>
        <translation>Name</translation>
    </message>
    <message>
        <source>Type</source>
        <translation>Typ</translation>
    </message>
    <message>
        <source>BG</source>
        <translation>HG</translation>
    </message>
    <message>
        <source>Background</source>
        <translation>Hintergrund</translation>
    </message>
    <message>
        <source>Text</source>
        <translation>Text</translation>
    </message>
    <message>
        <source>Text colour</source>
        <translation>Textfarbe</translation>
    </message>
    <message>
        <source>Outline</source>
        <translation>Kontur</translation>
    </message>
    <message>
        <source>Outline colour</source>
        <translation>Konturfarbe</translation>
    </message>
    <message>
        <source>Colour</source>
        <translation>Farbe</translation>
    </message>
    <message>
        <source>Opacity</source>
        <translation>Deckkraft</translation>
    </message>
    <message>
        <source>Always on Top</source>
        <translation>Immer im Vordergrund</translation>
    </message>
    <message>
        <source>Window</source>
        <translation>Fenster</translation>
    </message>
    <message>
        <source>Stopwatch</source>
        <translation>Stoppuhr</translation>
    </message>
    <message>
        <source>Timecode</source>
        <translation>Timecode</translation>
    </message>
    <message>
        <source>No input available</source>
        <translation>Kein Eingang verfügbar</translation>
    </message>
    <message>
        <source>Offset</source>
        <translation>Versatz</translation>
    </message>
    <message>
        <source>Your desktop does not let apps keep windows on top</source>
        <translation>Deine Arbeitsumgebung lässt Apps keine Fenster im Vordergrund halten</translation>
    </message>
    <message>
        <source>Your desktop chooses where windows open, so clocks may not reopen where they were</source>
        <translation>Deine Arbeitsumgebung bestimmt, wo Fenster aufgehen; Uhren öffnen sich daher vielleicht nicht dort, wo sie waren</translation>
    </message>
    <message>
        <source>Tenths of a second</source>
        <translation>Zehntelsekunden</translation>
    </message>
    <message>
        <source>+1 min</source>
        <translation>+1 min</translation>
    </message>
    <message>
        <source>Take a minute off the time left</source>
        <translation>Eine Minute von der Restzeit abziehen</translation>
    </message>
    <message>
        <source>Add a minute to the time left</source>
        <translation>Eine Minute zur Restzeit hinzufügen</translation>
    </message>
    <message>
        <source>Adjust</source>
        <translation>Anpassen</translation>
    </message>
    <message>
        <source>As the language has it</source>
        <translation>Wie in der Sprache üblich</translation>
    </message>
    <message>
        <source>12-hour</source>
        <translation>12 Stunden</translation>
    </message>
    <message>
        <source>24-hour</source>
        <translation>24 Stunden</translation>
    </message>
    <message>
        <source>Hours</source>
        <translation>Stunden</translation>
    </message>
    <message>
        <source>Hide seconds</source>
        <translation>Sekunden ausblenden</translation>
    </message>
    <message>
        <source>−1 min</source>
        <translation>−1 min</translation>
    </message>
</context>
<context>
    <name>tavix::ClockWindow</name>
    <message>
        <source>Start</source>
        <translation>Start</translation>
    </message>
    <message>
        <source>Reset</source>
        <translation>Zurücksetzen</translation>
    </message>
    <message>
        <source>Pause</source>
        <translation>Pause</translation>
    </message>
    <message>
        <source>No Countdown Data</source>
        <translation>Keine Countdown-Daten</translation>
    </message>
    <message>
        <source>No Target Time</source>
        <translation>Keine Zielzeit</translation>
    </message>
    <message>
        <source>Stage Mode</source>
        <translation>Bühnenmodus</translation>
    </message>
    <message>
        <source>Stage Screen</source>
        <translation>Bühnenbildschirm</translation>
    </message>
    <message>
        <source>Click-Through</source>
        <translation>Durchklicken</translation>
    </message>
    <message>
        <source>%1 (%2×%3)</source>
        <translation>%1 (%2×%3)</translation>
    </message>
    <message>
        <source>Screen</source>
        <translation>Bildschirm</translation>
    </message>
    <message>
        <source>Undo</source>
        <translation>Rückgängig</translation>
    </message>
    <message>
        <source>Undo Reset</source>
        <translation>Zurücksetzen rückgängig</translation>
    </message>
    <message>
        <source>Undo %1</source>
        <translation>%1 rückgängig</translation>
    </message>
</context>
<context>
    <name>tavix::ColorPanel</name>
    <message>
        <source>Colours</source>
        <translation>Farben</translation>
    </message>
</context>
<context>
    <name>tavix::CommandLine</name>
    <message>
        <source>Free-floating clock windows for shows, studios and broadcasts.</source>
        <translation>Frei schwebende Uhrenfenster für Shows, Studios und Sendungen.</translation>
    </message>
</context>
<context>
    <name>tavix::CountdownSettingsEditor</name>
    <message>
        <source>H</source>
        <translation>h</translation>
    </message>
    <message>
        <source>M</source>
        <translation>m</translation>
    </message>
    <message>
        <source>S</source>
        <translation>s</translation>
    </message>
    <message>
        <source>Start</source>
        <translation>Startzeit</translation>
    </message>
    <message>
        <source>If paused, editing Start updates the live remaining time.</source>
        <translation>Ist der Countdown angehalten, ändert eine neue Startzeit auch die verbleibende Zeit.</translation>
    </message>
    <message>
        <source>Warn At</source>
        <translation>Warnen ab</translation>
    </message>
    <message>
        <source>At or under this time, show warning colours.</source>
        <translation>Ab dieser Restzeit die Warnfarben zeigen.</translation>
    </message>
    <message>
        <source>Text</source>
        <translation>Text</translation>
    </message>
    <message>
        <source>Warning text colour</source>
        <translation>Textfarbe der Warnung</translation>
    </message>
    <message>
        <source>Outline</source>
        <translation>Kontur</translation>
    </message>
    <message>
        <source>Warning outline colour</source>
        <translation>Konturfarbe der Warnung</translation>
    </message>
    <message>
        <source>Colour</source>
        <translation>Farbe</translation>
    </message>
    <message>
        <source>Overtime text colour</source>
        <translation>Textfarbe der Überzeit</translation>
    </message>
    <message>
        <source>Overtime outline colour</source>
        <translation>Konturfarbe der Überzeit</translation>
    </message>
    <message>
        <source>Overtime</source>
        <translation>Überzeit</translation>
    </message>
    <message>
        <source>Outline and background</source>
        <translation>Kontur und Hintergrund</translation>
    </message>
    <message>
        <source>Off</source>
        <translation>Aus</translation>
    </message>
    <message>
        <source>Overtime flash</source>
        <translation>Blinken in der Überzeit</translation>
    </message>
    <message>
        <source>Flash</source>
        <translation>Blinken</translation>
    </message>
    <message>
        <source>Tenths in the last 10 s</source>
        <translation>Zehntel in den letzten 10 s</translation>
    </message>
</context>
<context>
    <name>tavix::PreferencesView</name>
    <message>
        <source>Your changes are not being saved: </source>
        <translation>Deine Änderungen werden nicht gespeichert: </translation>
    </message>
    <message>
        <source>Defaults</source>
        <translation>Voreinstellungen</translation>
    </message>
    <message>
        <source>BG</source>
        <translation>HG</translation>
    </message>
    <message>
        <source>Default background colour for new clocks</source>
        <translation>Hintergrundfarbe für neue Uhren</translation>
    </message>
    <message>
        <source>Text</source>
        <translation>Text</translation>
    </message>
    <message>
        <source>Default text colour for new clocks</source>
        <translation>Textfarbe für neue Uhren</translation>
    </message>
    <message>
        <source>Outline</source>
        <translation>Kontur</translation>
    </message>
    <message>
        <source>Default outline colour for new clocks</source>
        <translation>Konturfarbe für neue Uhren</translation>
    </message>
    <message>
        <source>Colour</source>
        <translation>Farbe</translation>
    </message>
    <message>
        <source>Opacity</source>
        <translation>Deckkraft</translation>
    </message>
    <message>
        <source>Always on Top</source>
        <translation>Immer im Vordergrund</translation>
    </message>
    <message>
        <source>New clocks float above other windows.</source>
        <translation>Neue Uhren bleiben über anderen Fenstern.</translation>
    </message>
    <message>
        <source>Window</source>
        <translation>Fenster</translation>
    </message>
    <message>
        <source>Countdown Start</source>
        <translation>Countdown-Start</translation>
    </message>
    <message>
        <source>Default time for new countdown clocks.</source>
        <translation>Startzeit für neue Countdown-Uhren.</translation>
    </message>
    <message>
        <source>Running timers keep counting while closed</source>
        <translation>Laufende Timer zählen auch geschlossen weiter</translation>
    </message>
    <message>
        <source>Timers</source>
        <translation>Timer</translation>
    </message>
    <message>
        <source>Clocks</source>
        <translation>Uhren</translation>
    </message>
    <message>
        <source>No clocks.</source>
        <translation>Keine Uhren.</translation>
    </message>
    <message>
        <source>Add Clock</source>
        <translation>Uhr hinzufügen</translation>
    </message>
    <message>
        <source>Add Clock (%1)</source>
        <translation>Uhr hinzufügen (%1)</translation>
    </message>
    <message>
        <source>Name</source>
        <translation>Name</translation>
    </message>
    <message>
        <source>Open / Reopen This Clock</source>
        <translation>Diese Uhr öffnen</translation>
    </message>
    <message>
        <source>Remove Clock</source>
        <translation>Uhr entfernen</translation>
    </message>
    <message>
        <source>A running countdown or stopwatch goes on counting while its window is closed and while Tavix is not running.</source>
        <translation>Ein laufender Countdown oder eine laufende Stoppuhr zählt weiter, während das Fenster geschlossen ist und während Tavix nicht läuft.</translation>
    </message>
    <message>
        <source>Tavix %1</source>
        <translation>Tavix %1</translation>
    </message>
    <message>
        <source>Hours and minutes</source>
        <translation>Stunden und Minuten</translation>
    </message>
    <message>
        <source>Show overtime as +</source>
        <translation>Überzeit mit + anzeigen</translation>
    </message>
    <message>
        <source>Overtime reads +1:05 instead of -1:05.</source>
        <translation>Überzeit wird als +1:05 statt -1:05 angezeigt.</translation>
    </message>
    <message>
        <source>Undo</source>
        <translation>Rückgängig</translation>
    </message>
    <message>
        <source>Bring the clock back (%1)</source>
        <translation>Die Uhr zurückholen (%1)</translation>
    </message>
    <message>
        <source>“%1” removed.</source>
        <translation>„%1“ entfernt.</translation>
    </message>
    <message>
        <source>%1 h</source>
        <translation>%1 h</translation>
    </message>
</context>
<context>
    <name>tavix::RemoteControlSection</name>
    <message>
        <source>On</source>
        <translation>An</translation>
    </message>
    <message>
        <source>HTTP and WebSocket port</source>
        <translation>Port für HTTP und WebSocket</translation>
    </message>
    <message>
        <source>OSC port (UDP)</source>
        <translation>OSC-Port (UDP)</translation>
    </message>
    <message>
        <source>Allow other computers</source>
        <translation>Andere Computer zulassen</translation>
    </message>
    <message>
        <source>Show</source>
        <translation>Zeigen</translation>
    </message>
    <message>
        <source>New Token</source>
        <translation>Neues Token</translation>
    </message>
    <message>
        <source>Copy</source>
        <translation>Kopieren</translation>
    </message>
    <message>
        <source>Remote control</source>
        <translation>Fernsteuerung</translation>
    </message>
    <message>
        <source>Control the clocks over HTTP, WebSocket and OSC</source>
        <translation>Die Uhren über HTTP, WebSocket und OSC steuern</translation>
    </message>
    <message>
        <source>Remote</source>
        <translation>Fernsteuerung</translation>
    </message>
    <message>
        <source>Ports</source>
        <translation>Ports</translation>
    </message>
    <message>
        <source>Network</source>
        <translation>Netzwerk</translation>
    </message>
    <message>
        <source>Access token</source>
        <translation>Zugangstoken</translation>
    </message>
    <message>
        <source>Access Token</source>
        <translation>Zugangstoken</translation>
    </message>
    <message>
        <source>Copy the address of the web remote</source>
        <translation>Die Adresse der Web-Fernbedienung kopieren</translation>
    </message>
    <message>
        <source>Web Remote</source>
        <translation>Web-Fernbedienung</translation>
    </message>
    <message>
        <source>Hide</source>
        <translation>Verbergen</translation>
    </message>
    <message>
        <source>Off</source>
        <translation>Aus</translation>
    </message>
    <message>
        <source>
On this computer only: allow other computers to open it on a phone.</source>
        <translation>
Nur auf diesem Computer: andere Computer zulassen, um sie auf einem Telefon zu öffnen.</translation>
    </message>
    <message>
        <source>Listen on the network, not only on this computer; every request then needs the access token.</source>
        <translation>Im Netzwerk lauschen, nicht nur auf diesem Computer; jede Anfrage braucht dann das Zugangstoken.</translation>
    </message>
</context>
<context>
    <name>tavix::StageSettingsSection</name>
    <message>
        <source>Stage Mode</source>
        <translation>Bühnenmodus</translation>
    </message>
    <message>
        <source>Click-Through</source>
        <translation>Durchklicken</translation>
    </message>
    <message>
        <source>Stage Screen</source>
        <translation>Bühnenbildschirm</translation>
    </message>
    <message>
        <source>Stage</source>
        <translation>Bühne</translation>
    </message>
    <message>
        <source>None</source>
        <translation>Keine</translation>
    </message>
    <message>
        <source>Clock Name</source>
        <translation>Name der Uhr</translation>
    </message>
    <message>
        <source>Message</source>
        <translation>Nachricht</translation>
    </message>
    <message>
        <source>Caption</source>
        <translation>Beschriftung</translation>
    </message>
    <message>
        <source>Message line</source>
        <translation>Nachrichtenzeile</translation>
    </message>
    <message>
        <source>Clicks go to the windows below; the clock&apos;s menu stays in the tray and the settings window</source>
        <translation>Klicks gehen an die Fenster darunter; das Menü der Uhr bleibt im Infobereich und im Einstellungsfenster erreichbar</translation>
    </message>
    <message>
        <source>Input</source>
        <translation>Eingabe</translation>
    </message>
    <message>
        <source>%1 (%2×%3)</source>
        <translation>%1 (%2×%3)</translation>
    </message>
</context>
<context>
    <name>tavix::StateFile</name>
    <message>
        <source>Tavix cannot save your clocks</source>
        <translation>Tavix kann deine Uhren nicht speichern</translation>
    </message>
    <message>
        <source>%1. Tavix tries again with your next change.</source>
        <translation>%1. Tavix versucht es bei deiner nächsten Änderung erneut.</translation>
    </message>
    <message>
        <source>Tavix could not read your saved clocks</source>
        <translation>Tavix konnte deine gespeicherten Uhren nicht lesen</translation>
    </message>
    <message>
        <source>The file was kept as “%1” and Tavix started with a new clock.</source>
        <translation>Die Datei wurde als „%1“ aufbewahrt, und Tavix hat mit einer neuen Uhr begonnen.</translation>
    </message>
    <message>
        <source>Tavix kept a copy of your clocks file</source>
        <translation>Tavix hat eine Kopie deiner Uhrendatei aufbewahrt</translation>
    </message>
    <message>
        <source>Another program changed the file while Tavix was running. That version was kept as “%1”.</source>
        <translation>Ein anderes Programm hat die Datei geändert, während Tavix lief. Diese Fassung wurde als „%1“ aufbewahrt.</translation>
    </message>
</context>
<context>
    <name>tavix::Symbol</name>
    <message>
        <source>Time</source>
        <translation>Uhrzeit</translation>
    </message>
    <message>
        <source>Countdown</source>
        <translation>Countdown</translation>
    </message>
    <message>
        <source>Stopwatch</source>
        <translation>Stoppuhr</translation>
    </message>
    <message>
        <source>Timecode</source>
        <translation>Timecode</translation>
    </message>
    <message>
        <source>Time until…</source>
        <translation>Zeit bis…</translation>
    </message>
    <message>
        <source>Clock Settings</source>
        <translation>Uhreinstellungen</translation>
    </message>
</context>
<context>
    <name>tavix::TavixApp</name>
    <message>
        <source>New Window</source>
        <translation>Neues Fenster</translation>
    </message>
    <message>
        <source>Settings…</source>
        <translation>Einstellungen…</translation>
    </message>
    <message>
        <source>Quit</source>
        <translation>Beenden</translation>
    </message>
    <message>
        <source>Tavix Settings</source>
        <translation>Tavix-Einstellungen</translation>
    </message>
    <message>
        <source>Your latest changes could not be saved.</source>
        <translation>Deine letzten Änderungen konnten nicht gespeichert werden.</translation>
    </message>
    <message>
        <source>

If you quit now, these changes are lost.</source>
        <translation>

Wenn du jetzt beendest, gehen diese Änderungen verloren.</translation>
    </message>
    <message>
        <source>Try Again</source>
        <translation>Erneut versuchen</translation>
    </message>
    <message>
        <source>Quit Without Saving</source>
        <translation>Ohne Speichern beenden</translation>
    </message>
    <message>
        <source>Show Window</source>
        <translation>Fenster zeigen</translation>
    </message>
    <message>
        <source>Open Window</source>
        <translation>Fenster öffnen</translation>
    </message>
</context>
<context>
    <name>tavix::TimeUntilSettingsEditor</name>
    <message>
        <source>H</source>
        <translation>h</translation>
    </message>
    <message>
        <source>M</source>
        <translation>m</translation>
    </message>
    <message>
        <source>S</source>
        <translation>s</translation>
    </message>
    <message>
        <source>Target</source>
        <translation>Ziel</translation>
    </message>
    <message>
        <source>Counts down to this time today, then goes negative.</source>
        <translation>Zählt bis zu dieser Uhrzeit heute herunter, danach ins Negative.</translation>
    </message>
    <message>
        <source>Text</source>
        <translation>Text</translation>
    </message>
    <message>
        <source>Text colour at target</source>
        <translation>Textfarbe am Ziel</translation>
    </message>
    <message>
        <source>Outline</source>
        <translation>Kontur</translation>
    </message>
    <message>
        <source>Outline colour at target</source>
        <translation>Konturfarbe am Ziel</translation>
    </message>
    <message>
        <source>Colour</source>
        <translation>Farbe</translation>
    </message>
    <message>
        <source>Flash Overtime</source>
        <translation>Bei Überzeit blinken</translation>
    </message>
    <message>
        <source>Never</source>
        <translation>Nie</translation>
    </message>
    <message>
        <source>Right after the target</source>
        <translation>Gleich nach dem Ziel</translation>
    </message>
    <message numerus="yes">
        <source>%n min after the target</source>
        <translation>
            <numerusform>%n Minute nach dem Ziel</numerusform>
            <numerusform>%n Minuten nach dem Ziel</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n h after the target</source>
        <translation>
            <numerusform>%n Stunde nach dem Ziel</numerusform>
            <numerusform>%n Stunden nach dem Ziel</numerusform>
        </translation>
    </message>
    <message>
        <source>Count to tomorrow</source>
        <translation>Bis morgen zählen</translation>
    </message>
    <message>
        <source>Tomorrow</source>
        <translation>Morgen</translation>
    </message>
    <message>
        <source>Once the target is this far past, count to tomorrow&apos;s.</source>
        <translation>Liegt das Ziel so weit zurück, wird bis zum Ziel von morgen gezählt.</translation>
    </message>
    <message numerus="yes">
        <source>%n s after the target</source>
        <translation>
            <numerusform>%n Sekunde nach dem Ziel</numerusform>
            <numerusform>%n Sekunden nach dem Ziel</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>tavix::TimecodeClockView</name>
    <message>
        <source>HOLD</source>
        <translation>HALTEN</translation>
    </message>
</context>
<context>
    <name>tavix::TimecodeSettingsEditor</name>
    <message>
        <source>Device</source>
        <translation>Gerät</translation>
    </message>
    <message>
        <source>Channel</source>
        <translation>Kanal</translation>
    </message>
    <message>
        <source>Frame Rate</source>
        <translation>Bildrate</translation>
    </message>
    <message>
        <source>Built-in microphones are not supported for LTC. Choose a line-level input (e.g. interface or virtual driver).</source>
        <translation>Eingebaute Mikrofone eignen sich nicht für LTC. Wähle einen Line-Eingang (z. B. ein Audio-Interface oder einen virtuellen Treiber).</translation>
    </message>
    <message>
        <source>Refresh</source>
        <translation>Aktualisieren</translation>
    </message>
    <message>
        <source>Rescan audio input devices</source>
        <translation>Audioeingänge neu suchen</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Abbrechen</translation>
    </message>
    <message>
        <source>Apply</source>
        <translation>Anwenden</translation>
    </message>
    <message>
        <source>%1 (%2 ch)</source>
        <comment>device and its channel count</comment>
        <translation>%1 (%2 Kan.)</translation>
    </message>
    <message>
        <source>Ch %1</source>
        <comment>audio channel</comment>
        <translation>Kan. %1</translation>
    </message>
    <message>
        <source>Signal</source>
        <translation>Signal</translation>
    </message>
</context>
</TS>
