<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="fr_FR">
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
        <translation>Heure</translation>
    </message>
    <message>
        <source>Countdown</source>
        <translation>Compte à rebours</translation>
    </message>
    <message>
        <source>Stopwatch</source>
        <translation>Chronomètre</translation>
    </message>
    <message>
        <source>Timecode</source>
        <translation>Timecode</translation>
    </message>
    <message>
        <source>Time until…</source>
        <translation>Temps jusqu’à…</translation>
    </message>
    <message>
        <source>Time Until</source>
        <translation>Temps jusqu’à</translation>
    </message>
</context>
<context>
    <name>tavix::ClockSettingsPopover</name>
    <message>
        <source>Name</source>
        <translation>Nom</translation>
    </message>
    <message>
        <source>Type</source>
        <translation>Type</translation>
    </message>
    <message>
        <source>BG</source>
        <translation>Fond</translation>
    </message>
    <message>
        <source>Background</source>
        <translation>Arrière-plan</translation>
    </message>
    <message>
        <source>Text</source>
        <translation>Texte</translation>
    </message>
    <message>
        <source>Text colour</source>
        <translation>Couleur du texte</translation>
    </message>
    <message>
        <source>Outline</source>
        <translation>Contour</translation>
    </message>
    <message>
        <source>Outline colour</source>
        <translation>Couleur du contour</translation>
    </message>
    <message>
        <source>Colour</source>
        <translation>Couleur</translation>
    </message>
    <message>
        <source>Opacity</source>
        <translation>Opacité</translation>
    </message>
    <message>
        <source>Always on Top</source>
        <translation>Toujours au premier plan</translation>
    </message>
    <message>
        <source>Window</source>
        <translation>Fenêtre</translation>
    </message>
    <message>
        <source>Stopwatch</source>
        <translation>Chronomètre</translation>
    </message>
    <message>
        <source>Timecode</source>
        <translation>Timecode</translation>
    </message>
    <message>
        <source>No input available</source>
        <translation>Aucune entrée disponible</translation>
    </message>
    <message>
        <source>Offset</source>
        <translation>Décalage</translation>
    </message>
    <message>
        <source>Your desktop does not let apps keep windows on top</source>
        <translation>Votre bureau ne permet pas aux applications de garder des fenêtres au premier plan</translation>
    </message>
    <message>
        <source>Your desktop chooses where windows open, so clocks may not reopen where they were</source>
        <translation>Votre bureau choisit où s’ouvrent les fenêtres : les horloges peuvent ne pas rouvrir là où elles étaient</translation>
    </message>
    <message>
        <source>Tenths of a second</source>
        <translation>Dixièmes de seconde</translation>
    </message>
    <message>
        <source>+1 min</source>
        <translation>+1 min</translation>
    </message>
    <message>
        <source>Take a minute off the time left</source>
        <translation>Retirer une minute au temps restant</translation>
    </message>
    <message>
        <source>Add a minute to the time left</source>
        <translation>Ajouter une minute au temps restant</translation>
    </message>
    <message>
        <source>Adjust</source>
        <translation>Ajuster</translation>
    </message>
    <message>
        <source>As the language has it</source>
        <translation>Selon la langue</translation>
    </message>
    <message>
        <source>12-hour</source>
        <translation>12 heures</translation>
    </message>
    <message>
        <source>24-hour</source>
        <translation>24 heures</translation>
    </message>
    <message>
        <source>Hours</source>
        <translation>Heures</translation>
    </message>
    <message>
        <source>Hide seconds</source>
        <translation>Masquer les secondes</translation>
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
        <translation>Démarrer</translation>
    </message>
    <message>
        <source>Reset</source>
        <translation>Réinitialiser</translation>
    </message>
    <message>
        <source>Pause</source>
        <translation>Pause</translation>
    </message>
    <message>
        <source>No Countdown Data</source>
        <translation>Aucune donnée de compte à rebours</translation>
    </message>
    <message>
        <source>No Target Time</source>
        <translation>Aucune heure cible</translation>
    </message>
    <message>
        <source>Stage Mode</source>
        <translation>Mode scène</translation>
    </message>
    <message>
        <source>Stage Screen</source>
        <translation>Écran de scène</translation>
    </message>
    <message>
        <source>Click-Through</source>
        <translation>Clics traversants</translation>
    </message>
    <message>
        <source>%1 (%2×%3)</source>
        <translation>%1 (%2×%3)</translation>
    </message>
    <message>
        <source>Screen</source>
        <translation>Écran</translation>
    </message>
    <message>
        <source>Undo</source>
        <translation>Annuler</translation>
    </message>
    <message>
        <source>Undo Reset</source>
        <translation>Annuler la remise à zéro</translation>
    </message>
    <message>
        <source>Undo %1</source>
        <translation>Annuler %1</translation>
    </message>
</context>
<context>
    <name>tavix::ColorPanel</name>
    <message>
        <source>Colours</source>
        <translation>Couleurs</translation>
    </message>
</context>
<context>
    <name>tavix::CommandLine</name>
    <message>
        <source>Free-floating clock windows for shows, studios and broadcasts.</source>
        <translation>Des fenêtres d’horloge flottantes pour les spectacles, les studios et la diffusion.</translation>
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
        <translation>Départ</translation>
    </message>
    <message>
        <source>If paused, editing Start updates the live remaining time.</source>
        <translation>En pause, modifier le départ met aussi à jour le temps restant.</translation>
    </message>
    <message>
        <source>Warn At</source>
        <translation>Alerte à</translation>
    </message>
    <message>
        <source>At or under this time, show warning colours.</source>
        <translation>À partir de ce temps restant, afficher les couleurs d’alerte.</translation>
    </message>
    <message>
        <source>Text</source>
        <translation>Texte</translation>
    </message>
    <message>
        <source>Warning text colour</source>
        <translation>Couleur du texte d’alerte</translation>
    </message>
    <message>
        <source>Outline</source>
        <translation>Contour</translation>
    </message>
    <message>
        <source>Warning outline colour</source>
        <translation>Couleur du contour d’alerte</translation>
    </message>
    <message>
        <source>Colour</source>
        <translation>Couleur</translation>
    </message>
    <message>
        <source>Overtime text colour</source>
        <translation>Couleur du texte en dépassement</translation>
    </message>
    <message>
        <source>Overtime outline colour</source>
        <translation>Couleur du contour en dépassement</translation>
    </message>
    <message>
        <source>Overtime</source>
        <translation>Dépassement</translation>
    </message>
    <message>
        <source>Outline and background</source>
        <translation>Contour et fond</translation>
    </message>
    <message>
        <source>Off</source>
        <translation>Désactivé</translation>
    </message>
    <message>
        <source>Overtime flash</source>
        <translation>Clignotement en dépassement</translation>
    </message>
    <message>
        <source>Flash</source>
        <translation>Clignotement</translation>
    </message>
    <message>
        <source>Tenths in the last 10 s</source>
        <translation>Dixièmes dans les 10 dernières s</translation>
    </message>
</context>
<context>
    <name>tavix::PreferencesView</name>
    <message>
        <source>Your changes are not being saved: </source>
        <translation>Vos modifications ne sont pas enregistrées : </translation>
    </message>
    <message>
        <source>Defaults</source>
        <translation>Valeurs par défaut</translation>
    </message>
    <message>
        <source>BG</source>
        <translation>Fond</translation>
    </message>
    <message>
        <source>Default background colour for new clocks</source>
        <translation>Couleur de fond des nouvelles horloges</translation>
    </message>
    <message>
        <source>Text</source>
        <translation>Texte</translation>
    </message>
    <message>
        <source>Default text colour for new clocks</source>
        <translation>Couleur du texte des nouvelles horloges</translation>
    </message>
    <message>
        <source>Outline</source>
        <translation>Contour</translation>
    </message>
    <message>
        <source>Default outline colour for new clocks</source>
        <translation>Couleur du contour des nouvelles horloges</translation>
    </message>
    <message>
        <source>Colour</source>
        <translation>Couleur</translation>
    </message>
    <message>
        <source>Opacity</source>
        <translation>Opacité</translation>
    </message>
    <message>
        <source>Always on Top</source>
        <translation>Toujours au premier plan</translation>
    </message>
    <message>
        <source>New clocks float above other windows.</source>
        <translation>Les nouvelles horloges restent au-dessus des autres fenêtres.</translation>
    </message>
    <message>
        <source>Window</source>
        <translation>Fenêtre</translation>
    </message>
    <message>
        <source>Countdown Start</source>
        <translation>Départ du compte à rebours</translation>
    </message>
    <message>
        <source>Default time for new countdown clocks.</source>
        <translation>Durée initiale des nouveaux comptes à rebours.</translation>
    </message>
    <message>
        <source>Running timers keep counting while closed</source>
        <translation>Les minuteurs continuent même fermés</translation>
    </message>
    <message>
        <source>Timers</source>
        <translation>Minuteurs</translation>
    </message>
    <message>
        <source>Clocks</source>
        <translation>Horloges</translation>
    </message>
    <message>
        <source>No clocks.</source>
        <translation>Aucune horloge.</translation>
    </message>
    <message>
        <source>Add Clock</source>
        <translation>Ajouter une horloge</translation>
    </message>
    <message>
        <source>Add Clock (%1)</source>
        <translation>Ajouter une horloge (%1)</translation>
    </message>
    <message>
        <source>Name</source>
        <translation>Nom</translation>
    </message>
    <message>
        <source>Open / Reopen This Clock</source>
        <translation>Ouvrir cette horloge</translation>
    </message>
    <message>
        <source>Remove Clock</source>
        <translation>Supprimer l’horloge</translation>
    </message>
    <message>
        <source>A running countdown or stopwatch goes on counting while its window is closed and while Tavix is not running.</source>
        <translation>Un compte à rebours ou un chronomètre en cours continue de compter quand sa fenêtre est fermée et quand Tavix ne tourne pas.</translation>
    </message>
    <message>
        <source>Tavix %1</source>
        <translation>Tavix %1</translation>
    </message>
    <message>
        <source>Hours and minutes</source>
        <translation>Heures et minutes</translation>
    </message>
    <message>
        <source>Show overtime as +</source>
        <translation>Afficher le dépassement avec +</translation>
    </message>
    <message>
        <source>Overtime reads +1:05 instead of -1:05.</source>
        <translation>Le dépassement s’affiche +1:05 au lieu de -1:05.</translation>
    </message>
    <message>
        <source>Undo</source>
        <translation>Annuler</translation>
    </message>
    <message>
        <source>Bring the clock back (%1)</source>
        <translation>Rétablir l’horloge (%1)</translation>
    </message>
    <message>
        <source>“%1” removed.</source>
        <translation>« %1 » supprimée.</translation>
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
        <translation>Activé</translation>
    </message>
    <message>
        <source>HTTP and WebSocket port</source>
        <translation>Port HTTP et WebSocket</translation>
    </message>
    <message>
        <source>OSC port (UDP)</source>
        <translation>Port OSC (UDP)</translation>
    </message>
    <message>
        <source>Allow other computers</source>
        <translation>Autoriser d’autres ordinateurs</translation>
    </message>
    <message>
        <source>Show</source>
        <translation>Afficher</translation>
    </message>
    <message>
        <source>New Token</source>
        <translation>Nouveau jeton</translation>
    </message>
    <message>
        <source>Copy</source>
        <translation>Copier</translation>
    </message>
    <message>
        <source>Remote control</source>
        <translation>Commande à distance</translation>
    </message>
    <message>
        <source>Control the clocks over HTTP, WebSocket and OSC</source>
        <translation>Piloter les horloges par HTTP, WebSocket et OSC</translation>
    </message>
    <message>
        <source>Remote</source>
        <translation>À distance</translation>
    </message>
    <message>
        <source>Ports</source>
        <translation>Ports</translation>
    </message>
    <message>
        <source>Network</source>
        <translation>Réseau</translation>
    </message>
    <message>
        <source>Access token</source>
        <translation>Jeton d’accès</translation>
    </message>
    <message>
        <source>Access Token</source>
        <translation>Jeton d’accès</translation>
    </message>
    <message>
        <source>Copy the address of the web remote</source>
        <translation>Copier l’adresse de la télécommande web</translation>
    </message>
    <message>
        <source>Web Remote</source>
        <translation>Télécommande web</translation>
    </message>
    <message>
        <source>Hide</source>
        <translation>Masquer</translation>
    </message>
    <message>
        <source>Off</source>
        <translation>Désactivé</translation>
    </message>
    <message>
        <source>
On this computer only: allow other computers to open it on a phone.</source>
        <translation>
Sur cet ordinateur seulement : autorisez d’autres ordinateurs pour l’ouvrir sur un téléphone.</translation>
    </message>
    <message>
        <source>Listen on the network, not only on this computer; every request then needs the access token.</source>
        <translation>Écouter sur le réseau, pas seulement sur cet ordinateur ; chaque requête demande alors le jeton d’accès.</translation>
    </message>
</context>
<context>
    <name>tavix::StageSettingsSection</name>
    <message>
        <source>Stage Mode</source>
        <translation>Mode scène</translation>
    </message>
    <message>
        <source>Click-Through</source>
        <translation>Clics traversants</translation>
    </message>
    <message>
        <source>Stage Screen</source>
        <translation>Écran de scène</translation>
    </message>
    <message>
        <source>Stage</source>
        <translation>Scène</translation>
    </message>
    <message>
        <source>None</source>
        <translation>Aucune</translation>
    </message>
    <message>
        <source>Clock Name</source>
        <translation>Nom de l’horloge</translation>
    </message>
    <message>
        <source>Message</source>
        <translation>Message</translation>
    </message>
    <message>
        <source>Caption</source>
        <translation>Légende</translation>
    </message>
    <message>
        <source>Message line</source>
        <translation>Ligne de message</translation>
    </message>
    <message>
        <source>Clicks go to the windows below; the clock&apos;s menu stays in the tray and the settings window</source>
        <translation>Les clics passent aux fenêtres en dessous ; le menu de l’horloge reste dans la zone de notification et la fenêtre des réglages</translation>
    </message>
    <message>
        <source>Input</source>
        <translation>Saisie</translation>
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
        <translation>Tavix ne peut pas enregistrer vos horloges</translation>
    </message>
    <message>
        <source>%1. Tavix tries again with your next change.</source>
        <translation>%1. Tavix réessaiera à votre prochaine modification.</translation>
    </message>
    <message>
        <source>Tavix could not read your saved clocks</source>
        <translation>Tavix n’a pas pu lire vos horloges enregistrées</translation>
    </message>
    <message>
        <source>The file was kept as “%1” and Tavix started with a new clock.</source>
        <translation>Le fichier a été conservé sous « %1 » et Tavix a démarré avec une nouvelle horloge.</translation>
    </message>
    <message>
        <source>Tavix kept a copy of your clocks file</source>
        <translation>Tavix a conservé une copie de votre fichier d’horloges</translation>
    </message>
    <message>
        <source>Another program changed the file while Tavix was running. That version was kept as “%1”.</source>
        <translation>Un autre programme a modifié le fichier pendant que Tavix tournait. Cette version a été conservée sous « %1 ».</translation>
    </message>
</context>
<context>
    <name>tavix::Symbol</name>
    <message>
        <source>Time</source>
        <translation>Heure</translation>
    </message>
    <message>
        <source>Countdown</source>
        <translation>Compte à rebours</translation>
    </message>
    <message>
        <source>Stopwatch</source>
        <translation>Chronomètre</translation>
    </message>
    <message>
        <source>Timecode</source>
        <translation>Timecode</translation>
    </message>
    <message>
        <source>Time until…</source>
        <translation>Temps jusqu’à…</translation>
    </message>
    <message>
        <source>Clock Settings</source>
        <translation>Réglages de l’horloge</translation>
    </message>
</context>
<context>
    <name>tavix::TavixApp</name>
    <message>
        <source>New Window</source>
        <translation>Nouvelle fenêtre</translation>
    </message>
    <message>
        <source>Settings…</source>
        <translation>Réglages…</translation>
    </message>
    <message>
        <source>Quit</source>
        <translation>Quitter</translation>
    </message>
    <message>
        <source>Tavix Settings</source>
        <translation>Réglages de Tavix</translation>
    </message>
    <message>
        <source>Your latest changes could not be saved.</source>
        <translation>Vos dernières modifications n’ont pas pu être enregistrées.</translation>
    </message>
    <message>
        <source>

If you quit now, these changes are lost.</source>
        <translation>

Si vous quittez maintenant, ces modifications seront perdues.</translation>
    </message>
    <message>
        <source>Try Again</source>
        <translation>Réessayer</translation>
    </message>
    <message>
        <source>Quit Without Saving</source>
        <translation>Quitter sans enregistrer</translation>
    </message>
    <message>
        <source>Show Window</source>
        <translation>Afficher la fenêtre</translation>
    </message>
    <message>
        <source>Open Window</source>
        <translation>Ouvrir la fenêtre</translation>
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
        <translation>Cible</translation>
    </message>
    <message>
        <source>Counts down to this time today, then goes negative.</source>
        <translation>Décompte jusqu’à cette heure aujourd’hui, puis passe en négatif.</translation>
    </message>
    <message>
        <source>Text</source>
        <translation>Texte</translation>
    </message>
    <message>
        <source>Text colour at target</source>
        <translation>Couleur du texte à l’heure cible</translation>
    </message>
    <message>
        <source>Outline</source>
        <translation>Contour</translation>
    </message>
    <message>
        <source>Outline colour at target</source>
        <translation>Couleur du contour à l’heure cible</translation>
    </message>
    <message>
        <source>Colour</source>
        <translation>Couleur</translation>
    </message>
    <message>
        <source>Flash Overtime</source>
        <translation>Clignoter en dépassement</translation>
    </message>
    <message>
        <source>Never</source>
        <translation>Jamais</translation>
    </message>
    <message>
        <source>Right after the target</source>
        <translation>Juste après l’heure cible</translation>
    </message>
    <message numerus="yes">
        <source>%n min after the target</source>
        <translation>
            <numerusform>%n min après l’heure cible</numerusform>
            <numerusform>%n min après l’heure cible</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n h after the target</source>
        <translation>
            <numerusform>%n h après l’heure cible</numerusform>
            <numerusform>%n h après l’heure cible</numerusform>
        </translation>
    </message>
    <message>
        <source>Count to tomorrow</source>
        <translation>Compter jusqu’à demain</translation>
    </message>
    <message>
        <source>Tomorrow</source>
        <translation>Demain</translation>
    </message>
    <message>
        <source>Once the target is this far past, count to tomorrow&apos;s.</source>
        <translation>Une fois l’heure cible dépassée d’autant, compter jusqu’à celle de demain.</translation>
    </message>
    <message numerus="yes">
        <source>%n s after the target</source>
        <translation>
            <numerusform>%n s après l’heure cible</numerusform>
            <numerusform>%n s après l’heure cible</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>tavix::TimecodeClockView</name>
    <message>
        <source>HOLD</source>
        <translation>FIGER</translation>
    </message>
</context>
<context>
    <name>tavix::TimecodeSettingsEditor</name>
    <message>
        <source>Device</source>
        <translation>Appareil</translation>
    </message>
    <message>
        <source>Channel</source>
        <translation>Canal</translation>
    </message>
    <message>
        <source>Frame Rate</source>
        <translation>Fréquence d’images</translation>
    </message>
    <message>
        <source>Built-in microphones are not supported for LTC. Choose a line-level input (e.g. interface or virtual driver).</source>
        <translation>Les micros intégrés ne conviennent pas au LTC. Choisissez une entrée ligne (par ex. une interface audio ou un pilote virtuel).</translation>
    </message>
    <message>
        <source>Refresh</source>
        <translation>Actualiser</translation>
    </message>
    <message>
        <source>Rescan audio input devices</source>
        <translation>Rechercher à nouveau les entrées audio</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Annuler</translation>
    </message>
    <message>
        <source>Apply</source>
        <translation>Appliquer</translation>
    </message>
    <message>
        <source>%1 (%2 ch)</source>
        <comment>device and its channel count</comment>
        <translation>%1 (%2 can.)</translation>
    </message>
    <message>
        <source>Ch %1</source>
        <comment>audio channel</comment>
        <translation>Can. %1</translation>
    </message>
    <message>
        <source>Signal</source>
        <translation>Signal</translation>
    </message>
</context>
</TS>
