<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de_DE">
<context>
    <name>CalibrationByWeight</name>
    <message>
        <source>water</source>
        <translation>Wasser</translation>
    </message>
    <message>
        <source>ethanol</source>
        <translation>Ethanol</translation>
    </message>
    <message>
        <source>isopropanol</source>
        <translation>Isopropanol</translation>
    </message>
    <message>
        <source>glycerol</source>
        <translation>Glycerin</translation>
    </message>
    <message>
        <source>saline 0.9 %</source>
        <translation>Kochsalzlösung 0,9 %</translation>
    </message>
    <message>
        <source>acetone</source>
        <translation>Aceton</translation>
    </message>
</context>
<context>
    <name>CalibrationWizard</name>
    <message>
        <source>Calibration by weighing</source>
        <translation>Kalibrierung durch Wägung</translation>
    </message>
    <message>
        <source>The pump took the new calibration and now holds %1 %.</source>
        <translation>Die Pumpe hat die neue Kalibrierung übernommen und hält jetzt %1 %.</translation>
    </message>
    <message>
        <source>The pump&apos;s calibration now: %1 %.</source>
        <translation>Kalibrierung der Pumpe jetzt: %1 %.</translation>
    </message>
    <message>
        <source>The pump did not give its calibration: nothing can be sent.</source>
        <translation>Die Pumpe hat ihre Kalibrierung nicht gemeldet: Es kann nichts gesendet werden.</translation>
    </message>
    <message>
        <source>%1 to %2 ml</source>
        <translation>%1 bis %2 ml</translation>
    </message>
    <message>
        <source>%1 (%2 g/ml)</source>
        <translation>%1 (%2 g/ml)</translation>
    </message>
    <message>
        <source>another fluid</source>
        <translation>eine andere Flüssigkeit</translation>
    </message>
    <message>
        <source>none: the masses are typed in</source>
        <translation>none: the masses are typed in</translation>
    </message>
    <message>
        <source>Nominal volume (ml)</source>
        <translation>Nennvolumen (ml)</translation>
    </message>
    <message>
        <source>Fluid, density (g/ml)</source>
        <translation>Flüssigkeit, Dichte (g/ml)</translation>
    </message>
    <message>
        <source>Balance port</source>
        <translation>Anschluss der Waage</translation>
    </message>
    <message>
        <source>Dose</source>
        <translation>Dosieren</translation>
    </message>
    <message>
        <source>Stop</source>
        <translation>Stopp</translation>
    </message>
    <message>
        <source>Read balance</source>
        <translation>Waage lesen</translation>
    </message>
    <message>
        <source>mass in g</source>
        <translation>Masse in g</translation>
    </message>
    <message>
        <source>Add mass</source>
        <translation>Masse hinzufügen</translation>
    </message>
    <message>
        <source>Remove last</source>
        <translation>Letzte entfernen</translation>
    </message>
    <message>
        <source>Mass (g)</source>
        <translation>Masse (g)</translation>
    </message>
    <message>
        <source>Volume (ml)</source>
        <translation>Volumen (ml)</translation>
    </message>
    <message>
        <source>Deviation (%)</source>
        <translation>Abweichung (%)</translation>
    </message>
    <message>
        <source>Send the new calibration</source>
        <translation>Neue Kalibrierung senden</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>Schließen</translation>
    </message>
    <message>
        <source>The pump&apos;s calibration cannot be read.</source>
        <translation>Die Kalibrierung der Pumpe kann nicht gelesen werden.</translation>
    </message>
    <message>
        <source>Reading the pump&apos;s calibration...</source>
        <translation>Kalibrierung der Pumpe wird gelesen...</translation>
    </message>
    <message>
        <source>The pump did not give its calibration within %1 s: nothing can be sent.</source>
        <translation>Die Pumpe hat ihre Kalibrierung nicht innerhalb von %1 s gemeldet: Es kann nichts gesendet werden.</translation>
    </message>
    <message>
        <source>The nominal volume must lie within %1 to %2 ml.</source>
        <translation>Das Nennvolumen muss zwischen %1 und %2 ml liegen.</translation>
    </message>
    <message>
        <source>Taring the balance...</source>
        <translation>Waage wird tariert...</translation>
    </message>
    <message>
        <source>The balance: %1. Nothing was dosed.</source>
        <translation>Die Waage: %1. Es wurde nichts dosiert.</translation>
    </message>
    <message>
        <source>The dose cannot start: %1</source>
        <translation>Die Dosierung kann nicht starten: %1</translation>
    </message>
    <message>
        <source>Dosing %1 ml...</source>
        <translation>Dosiere %1 ml...</translation>
    </message>
    <message>
        <source>The dose ended before its volume (%1): it is not weighed.</source>
        <translation>Die Dosierung endete vor ihrem Volumen (%1): Sie wird nicht gewogen.</translation>
    </message>
    <message>
        <source>Dose done: weigh the vessel and enter the mass.</source>
        <translation>Dosierung fertig: Gefäß wiegen und die Masse eingeben.</translation>
    </message>
    <message>
        <source>Choose the balance&apos;s port first.</source>
        <translation>Zuerst den Anschluss der Waage wählen.</translation>
    </message>
    <message>
        <source>Waiting for a stable weight...</source>
        <translation>Warte auf ein stabiles Gewicht...</translation>
    </message>
    <message>
        <source>Weighed %1 g.</source>
        <translation>%1 g gewogen.</translation>
    </message>
    <message>
        <source>The balance: %1</source>
        <translation>Die Waage: %1</translation>
    </message>
    <message>
        <source>A mass is a number of grams above 0.</source>
        <translation>Eine Masse ist eine Zahl von Gramm über 0.</translation>
    </message>
    <message>
        <source>Up to %1 doses: dose, then weigh.</source>
        <translation>Bis zu %1 Dosierungen: dosieren, dann wiegen.</translation>
    </message>
    <message>
        <source>The density must be a number within 0.1 to 25 g/ml.</source>
        <translation>Die Dichte muss eine Zahl zwischen 0,1 und 25 g/ml sein.</translation>
    </message>
    <message>
        <source>Mean %1 ml for %2 ml nominal (%3 %), spread %4 ml.</source>
        <translation>Mittel %1 ml bei %2 ml Nennvolumen (%3 %), Streuung %4 ml.</translation>
    </message>
    <message>
        <source>New calibration: %1 % (now %2 %).</source>
        <translation>Neue Kalibrierung: %1 % (jetzt %2 %).</translation>
    </message>
    <message>
        <source>Refused: %1 % lies outside %2 to %3 %. Check for air in the line, the density given, and that every dose reached the vessel.</source>
        <translation>Abgelehnt: %1 % liegt außerhalb von %2 bis %3 %. Prüfen Sie auf Luft in der Leitung, die angegebene Dichte und ob jede Dosierung das Gefäß erreichte.</translation>
    </message>
    <message>
        <source>Sending %1 %...</source>
        <translation>Sende %1 %...</translation>
    </message>
    <message>
        <source>The pump took %1 %.</source>
        <translation>Die Pumpe hat %1 % übernommen.</translation>
    </message>
    <message>
        <source>The pump did not take %1 %: its calibration stays %2 %.</source>
        <translation>Die Pumpe hat %1 % nicht übernommen: Ihre Kalibrierung bleibt %2 %.</translation>
    </message>
    <message>
        <source>The new calibration cannot be sent.</source>
        <translation>Die neue Kalibrierung kann nicht gesendet werden.</translation>
    </message>
</context>
<context>
    <name>Communication</name>
    <message>
        <source>the device on this port sends text that is no answer of the pump</source>
        <translation>das Gerät an diesem Anschluss sendet Text, der keine Antwort der Pumpe ist</translation>
    </message>
</context>
<context>
    <name>DispenseRateEntry</name>
    <message>
        <source>Dose at this rate: sets the dispense time for the volume</source>
        <translation>Mit dieser Rate dosieren: setzt die Dosierzeit für das Volumen</translation>
    </message>
    <message>
        <source>The rate needs the volume, which the pump has not reported yet.</source>
        <translation>Die Rate braucht das Volumen, das die Pumpe noch nicht gemeldet hat.</translation>
    </message>
    <message>
        <source>%1 ml at %2 ml/min takes longer than the longest dispense time</source>
        <translation>%1 ml bei %2 ml/min dauern länger als die längste Dosierzeit</translation>
    </message>
</context>
<context>
    <name>JournalWords</name>
    <message>
        <source>run-start</source>
        <translation>Laufbeginn</translation>
    </message>
    <message>
        <source>run-end</source>
        <translation>Laufende</translation>
    </message>
    <message>
        <source>setting</source>
        <translation>Einstellung</translation>
    </message>
    <message>
        <source>refused</source>
        <translation>abgelehnt</translation>
    </message>
    <message>
        <source>link</source>
        <translation>Verbindung</translation>
    </message>
    <message>
        <source>program</source>
        <translation>Programm</translation>
    </message>
    <message>
        <source>calibration</source>
        <translation>Kalibrierung</translation>
    </message>
    <message>
        <source>service</source>
        <translation>Wartungsdienst</translation>
    </message>
    <message>
        <source>window</source>
        <translation>Fenster</translation>
    </message>
    <message>
        <source>cli</source>
        <translation>Kommandozeile</translation>
    </message>
    <message>
        <source>bridge</source>
        <translation>MQTT-Brücke</translation>
    </message>
    <message>
        <source>sila</source>
        <translation>SiLA</translation>
    </message>
    <message>
        <source>pump</source>
        <translation>Pumpe</translation>
    </message>
    <message>
        <source>done</source>
        <translation>fertig</translation>
    </message>
    <message>
        <source>program-stop</source>
        <translation>Programmstopp</translation>
    </message>
    <message>
        <source>outside-stop</source>
        <translation>Stopp von außen</translation>
    </message>
    <message>
        <source>pump-error</source>
        <translation>Pumpenfehler</translation>
    </message>
    <message>
        <source>link-lost</source>
        <translation>Verbindung verloren</translation>
    </message>
    <message>
        <source>released</source>
        <translation>freigegeben</translation>
    </message>
    <message>
        <source>other</source>
        <translation>sonstiges</translation>
    </message>
    <message>
        <source>owner-gone</source>
        <translation>Besitzer beendet</translation>
    </message>
    <message>
        <source>accepted</source>
        <translation>angenommen</translation>
    </message>
    <message>
        <source>sent, not acknowledged</source>
        <translation>gesendet, nicht bestätigt</translation>
    </message>
    <message>
        <source>no answer</source>
        <translation>keine Antwort</translation>
    </message>
    <message>
        <source>dropped</source>
        <translation>verworfen</translation>
    </message>
    <message>
        <source>garbled</source>
        <translation>verstümmelt</translation>
    </message>
    <message>
        <source>stopped</source>
        <translation>gestoppt</translation>
    </message>
    <message>
        <source>running</source>
        <translation>in Betrieb</translation>
    </message>
    <message>
        <source>paused</source>
        <translation>pausiert</translation>
    </message>
    <message>
        <source>priming</source>
        <translation>beim Ansaugen</translation>
    </message>
    <message>
        <source>unknown</source>
        <translation>unbekannt</translation>
    </message>
</context>
<context>
    <name>LanguageChoice</name>
    <message>
        <source>As the system</source>
        <translation>Wie das System</translation>
    </message>
    <message>
        <source>The language of this window; the pump&apos;s own display language is set on the Settings tab</source>
        <translation>Die Sprache dieses Fensters; die Anzeigesprache der Pumpe selbst wird im Reiter Einstellungen gewählt</translation>
    </message>
    <message>
        <source>Takes effect at the next start of DOSETTA.</source>
        <translation>Gilt ab dem nächsten Start von DOSETTA.</translation>
    </message>
    <message>
        <source>Window language</source>
        <translation>Sprache des Fensters</translation>
    </message>
</context>
<context>
    <name>OrphanPrompt</name>
    <message>
        <source>%1 ml delivered so far</source>
        <translation>bisher %1 ml gefördert</translation>
    </message>
    <message>
        <source>the volume delivered so far is not known</source>
        <translation>das bisher geförderte Volumen ist nicht bekannt</translation>
    </message>
    <message>
        <source>The pump&apos;s state cannot be read</source>
        <translation>Der Zustand der Pumpe kann nicht gelesen werden</translation>
    </message>
    <message>
        <source>The pump is %1</source>
        <translation>Die Pumpe ist %1</translation>
    </message>
    <message>
        <source>The run &quot;%1&quot;, started from a window of yours at %2, never ended: that window (process %3) is gone.

%4; %5.

Stop the pump?</source>
        <translation>Der Lauf „%1“, gestartet um %2 aus einem Ihrer Fenster, wurde nie beendet: Dieses Fenster (Prozess %3) ist nicht mehr da.

%4; %5.

Pumpe stoppen?</translation>
    </message>
    <message>
        <source>Run left open</source>
        <translation>Offener Lauf</translation>
    </message>
    <message>
        <source>Stop</source>
        <translation>Stopp</translation>
    </message>
    <message>
        <source>Leave it running</source>
        <translation>Weiterlaufen lassen</translation>
    </message>
</context>
<context>
    <name>PortHint</name>
    <message>
        <source>No port is open yet. Choose the pump&apos;s port in the list on the Communication tab (the arrow on the right opens it); Search Pump then finds the pump&apos;s address.</source>
        <translation>Noch ist kein Anschluss geöffnet. Wählen Sie den Anschluss der Pumpe in der Liste auf der Registerkarte Kommunikation (der Pfeil rechts öffnet sie); Pumpe suchen findet dann die Adresse der Pumpe.</translation>
    </message>
</context>
<context>
    <name>PortProblem</name>
    <message>
        <source>no folder for its lock file can be written: %1</source>
        <translation>kein Ordner für die Sperrdatei ist beschreibbar: %1</translation>
    </message>
    <message>
        <source>%1: permission denied. The port belongs to the group %2: add your user to it with &quot;sudo usermod -aG %2 $USER&quot;, then log out and log in again.</source>
        <translation>%1: Zugriff verweigert. Der Anschluss gehört der Gruppe %2: Fügen Sie Ihren Benutzer mit „sudo usermod -aG %2 $USER“ hinzu, dann ab- und wieder anmelden.</translation>
    </message>
    <message>
        <source>%1: permission denied. Only its owner %2 may open the port; ask the administrator to give it to the group dialout.</source>
        <translation>%1: Zugriff verweigert. Nur der Eigentümer %2 darf den Anschluss öffnen; bitten Sie den Administrator, ihn der Gruppe dialout zu geben.</translation>
    </message>
    <message>
        <source>%1: in use by %2, pid %3. Close that program, or choose another port.</source>
        <translation>%1: belegt von %2, PID %3. Schließen Sie dieses Programm oder wählen Sie einen anderen Anschluss.</translation>
    </message>
    <message>
        <source>%1: in use by another program. Close it, or choose another port.</source>
        <translation>%1: von einem anderen Programm belegt. Schließen Sie es oder wählen Sie einen anderen Anschluss.</translation>
    </message>
    <message>
        <source>%1: not present — plugged in?</source>
        <translation>%1: nicht vorhanden – eingesteckt?</translation>
    </message>
    <message>
        <source>%1: cannot be used (%2).</source>
        <translation>%1: nicht verwendbar (%2).</translation>
    </message>
</context>
<context>
    <name>ProgramChartMarks</name>
    <message>
        <source>done</source>
        <translation>fertig</translation>
    </message>
    <message>
        <source>stopped</source>
        <translation>gestoppt</translation>
    </message>
    <message>
        <source>stopped from outside</source>
        <translation>von außen gestoppt</translation>
    </message>
    <message>
        <source>pump error</source>
        <translation>Pumpenfehler</translation>
    </message>
    <message>
        <source>command refused</source>
        <translation>Befehl abgelehnt</translation>
    </message>
    <message>
        <source>link lost</source>
        <translation>Verbindung verloren</translation>
    </message>
    <message>
        <source>left to the pump</source>
        <translation>der Pumpe überlassen</translation>
    </message>
    <message>
        <source>failed</source>
        <translation>fehlgeschlagen</translation>
    </message>
    <message>
        <source>Program %1</source>
        <translation>Programm %1</translation>
    </message>
    <message>
        <source>End: %1</source>
        <translation>Ende: %1</translation>
    </message>
</context>
<context>
    <name>ProgramFile</name>
    <message>
        <source>%1: is not a number</source>
        <translation>%1: ist keine Zahl</translation>
    </message>
    <message>
        <source>%1: is empty</source>
        <translation>%1: ist leer</translation>
    </message>
    <message>
        <source>%1: holds a control character</source>
        <translation>%1: enthält ein Steuerzeichen</translation>
    </message>
    <message>
        <source>%1: missing</source>
        <translation>%1: fehlt</translation>
    </message>
    <message>
        <source>%1: no steps</source>
        <translation>%1: keine Schritte</translation>
    </message>
    <message>
        <source>%1: unknown field%2</source>
        <translation>%1: unbekanntes Feld%2</translation>
    </message>
    <message>
        <source> (did you mean &quot;%1&quot;?)</source>
        <translation> (gemeint ist wohl „%1“?)</translation>
    </message>
    <message>
        <source>%1: %2 is below %3</source>
        <translation>%1: %2 liegt unter %3</translation>
    </message>
    <message>
        <source>%1: %2 is above %3</source>
        <translation>%1: %2 liegt über %3</translation>
    </message>
    <message>
        <source>%1 on a %2</source>
        <translation>%1 bei einer %2</translation>
    </message>
    <message>
        <source>%1: %2 is finer than %3 %4</source>
        <translation>%1: %2 ist feiner als %3 %4</translation>
    </message>
    <message>
        <source>%1: %2 is not a whole number of seconds</source>
        <translation>%1: %2 ist keine ganze Zahl von Sekunden</translation>
    </message>
    <message>
        <source>%1: %2 is below %3 s, the shortest wait the pump can time</source>
        <translation>%1: %2 liegt unter %3 s, der kürzesten Wartezeit, die die Pumpe messen kann</translation>
    </message>
    <message>
        <source>%1: %2 is below %3 s, the shortest prime a program times</source>
        <translation>%1: %2 liegt unter %3 s, dem kürzesten Ansaugen, das ein Programm misst</translation>
    </message>
    <message>
        <source>%1: %2 is above %3 s (a day)</source>
        <translation>%1: %2 liegt über %3 s (einem Tag)</translation>
    </message>
    <message>
        <source>%1: %2 characters, above %3</source>
        <translation>%1: %2 Zeichen, mehr als %3</translation>
    </message>
    <message>
        <source>%1: %2 pumps, above %3</source>
        <translation>%1: %2 Pumpen, mehr als %3</translation>
    </message>
    <message>
        <source>%1: %2 steps once unrolled, above %3</source>
        <translation>%1: %2 Schritte nach dem Entrollen, mehr als %3</translation>
    </message>
    <message>
        <source>over %1</source>
        <translation>über %1</translation>
    </message>
    <message>
        <source>%1: the program names no pumps (&quot;pumps&quot;)</source>
        <translation>%1: das Programm nennt keine Pumpen („pumps“)</translation>
    </message>
    <message>
        <source>%1: &quot;%2&quot; is not one of the program&apos;s pumps (%3)</source>
        <translation>%1: „%2“ ist keine der Pumpen des Programms (%3)</translation>
    </message>
    <message>
        <source>%1: drives several pumps; the program names none (&quot;pumps&quot;)</source>
        <translation>%1: treibt mehrere Pumpen an; das Programm nennt keine („pumps“)</translation>
    </message>
    <message>
        <source>%1: within %2&apos;s branch; a branch runs on its own pump only</source>
        <translation>%1: im Zweig von %2; ein Zweig läuft nur auf seiner eigenen Pumpe</translation>
    </message>
    <message>
        <source>%1: &quot;%2&quot; in %3&apos;s branch; a branch runs on its own pump only</source>
        <translation>%1: „%2“ im Zweig von %3; ein Zweig läuft nur auf seiner eigenen Pumpe</translation>
    </message>
    <message>
        <source>%1: no branches; a branch is a pump&apos;s name with its steps</source>
        <translation>%1: keine Zweige; ein Zweig ist der Name einer Pumpe mit ihren Schritten</translation>
    </message>
    <message>
        <source>%1: &quot;%2&quot; twice; a gradient takes two pumps</source>
        <translation>%1: „%2“ doppelt; ein Gradient braucht zwei Pumpen</translation>
    </message>
    <message>
        <source>%1: %2 s in %3 steps is under %4 s a step</source>
        <translation>%1: %2 s in %3 Schritten sind weniger als %4 s je Schritt</translation>
    </message>
    <message>
        <source>%1: %2 ml at %3 ml/min would take under half a second; it goes at full flow</source>
        <translation>%1: %2 ml bei %3 ml/min dauerten keine halbe Sekunde; sie laufen mit vollem Durchfluss</translation>
    </message>
    <message>
        <source>%1 ml at %2 ml/min takes longer than the longest dispense time</source>
        <translation>%1 ml bei %2 ml/min dauern länger als die längste Dosierzeit</translation>
    </message>
    <message>
        <source>%1: repeats nest more than %2 deep</source>
        <translation>%1: Wiederholungen sind tiefer als %2 Ebenen verschachtelt</translation>
    </message>
    <message>
        <source>%1: &quot;%2&quot; is not a pump name (letters, digits, - and _, up to %3)</source>
        <translation>%1: „%2“ ist kein Pumpenname (Buchstaben, Ziffern, - und _, bis zu %3)</translation>
    </message>
    <message>
        <source>%1: &quot;%2&quot; is named twice</source>
        <translation>%1: „%2“ ist doppelt genannt</translation>
    </message>
    <message>
        <source>%1: &quot;%2&quot; has no step</source>
        <translation>%1: „%2“ hat keinen Schritt</translation>
    </message>
    <message>
        <source>%1: %2 is not a list of steps</source>
        <translation>%1: %2 ist keine Liste von Schritten</translation>
    </message>
    <message>
        <source>%1: %2 is not a step</source>
        <translation>%1: %2 ist kein Schritt</translation>
    </message>
    <message>
        <source>%1: no step; a step is one of %2</source>
        <translation>%1: kein Schritt; ein Schritt ist einer von %2</translation>
    </message>
    <message>
        <source>%1: %2 steps in one; a step holds one of %3</source>
        <translation>%1: %2 Schritte in einem; ein Schritt enthält einen von %3</translation>
    </message>
    <message>
        <source>%1: unknown step%2; a step is one of %3</source>
        <translation>%1: unbekannter Schritt%2; ein Schritt ist einer von %3</translation>
    </message>
    <message>
        <source>%1: %2 is not an object</source>
        <translation>%1: %2 ist kein Objekt</translation>
    </message>
    <message>
        <source>%1: %2 is not a number</source>
        <translation>%1: %2 ist keine Zahl</translation>
    </message>
    <message>
        <source>%1: %2 is not a whole number</source>
        <translation>%1: %2 ist keine ganze Zahl</translation>
    </message>
    <message>
        <source>%1: %2 is out of range</source>
        <translation>%1: %2 liegt außerhalb des Bereichs</translation>
    </message>
    <message>
        <source>%1: %2 is not a text</source>
        <translation>%1: %2 ist kein Text</translation>
    </message>
    <message>
        <source>%1: %2 is not a pump&apos;s name</source>
        <translation>%1: %2 ist kein Pumpenname</translation>
    </message>
    <message>
        <source>%1: %2 is not a list of pumps&apos; names</source>
        <translation>%1: %2 ist keine Liste von Pumpennamen</translation>
    </message>
    <message>
        <source>%1 is %2 bytes, above %3</source>
        <translation>%1 hat %2 Bytes, mehr als %3</translation>
    </message>
    <message>
        <source>the file</source>
        <translation>die Datei</translation>
    </message>
    <message>
        <source>&quot;%1&quot; is given twice in one object</source>
        <translation>„%1“ steht zweimal in einem Objekt</translation>
    </message>
    <message>
        <source>offset %1 (line %2): %3</source>
        <translation>Position %1 (Zeile %2): %3</translation>
    </message>
    <message>
        <source>the file holds no JSON object</source>
        <translation>die Datei enthält kein JSON-Objekt</translation>
    </message>
    <message>
        <source>format: %1 is not %2</source>
        <translation>format: %1 ist nicht %2</translation>
    </message>
    <message>
        <source>a list</source>
        <translation>eine Liste</translation>
    </message>
    <message>
        <source>an object</source>
        <translation>ein Objekt</translation>
    </message>
    <message>
        <source>%1: 1 pump; a gradient takes two</source>
        <translation>%1: 1 Pumpe; ein Gradient braucht zwei</translation>
    </message>
    <message>
        <source>%1: %2 pumps; a gradient takes two</source>
        <translation>%1: %2 Pumpen; ein Gradient braucht zwei</translation>
    </message>
</context>
<context>
    <name>ProgramRunner</name>
    <message>
        <source>stopped</source>
        <translation>gestoppt</translation>
    </message>
    <message>
        <source>stopped from outside the program</source>
        <translation>von außerhalb des Programms gestoppt</translation>
    </message>
    <message>
        <source>stopped by %1</source>
        <translation>gestoppt von %1</translation>
    </message>
    <message>
        <source>left to the pump, which runs on</source>
        <translation>der Pumpe überlassen, die weiterläuft</translation>
    </message>
    <message>
        <source>the pump&apos;s final count could not be read</source>
        <translation>der Endstand der Pumpe ließ sich nicht lesen</translation>
    </message>
    <message>
        <source>the pump stopped priming</source>
        <translation>die Pumpe hat das Ansaugen beendet</translation>
    </message>
    <message>
        <source>the pump stopped before the step&apos;s end</source>
        <translation>die Pumpe hielt vor dem Ende des Schritts an</translation>
    </message>
    <message>
        <source>the pump stopped before its set end, at its keypad or an input</source>
        <translation>die Pumpe hielt vor ihrem eingestellten Ende an, an ihrer Tastatur oder über einen Eingang</translation>
    </message>
    <message>
        <source>the pump reports an error</source>
        <translation>die Pumpe meldet einen Fehler</translation>
    </message>
    <message>
        <source>the pump reports an error: %1</source>
        <translation>die Pumpe meldet einen Fehler: %1</translation>
    </message>
    <message>
        <source>the volume delivered cannot be asked for</source>
        <translation>das geförderte Volumen kann nicht abgefragt werden</translation>
    </message>
    <message>
        <source>the link was lost for more than %1 s</source>
        <translation>die Verbindung war länger als %1 s unterbrochen</translation>
    </message>
    <message>
        <source>%1 cannot be sent</source>
        <translation>%1: kann nicht gesendet werden</translation>
    </message>
    <message>
        <source>%1 was dropped from the queue</source>
        <translation>%1: aus der Warteschlange entfernt</translation>
    </message>
    <message>
        <source>the pump refused %1</source>
        <translation>%1: von der Pumpe abgelehnt</translation>
    </message>
    <message>
        <source>no answer to %1</source>
        <translation>%1: keine Antwort</translation>
    </message>
    <message>
        <source>%1 ml at %2 ml/min takes longer than the longest dispense time</source>
        <translation>%1 ml bei %2 ml/min dauern länger als die längste Dosierzeit</translation>
    </message>
    <message>
        <source>the last program is still ending: its count is being read</source>
        <translation>das letzte Programm endet noch: sein Zählerstand wird gelesen</translation>
    </message>
    <message>
        <source>a program is already running</source>
        <translation>es läuft bereits ein Programm</translation>
    </message>
    <message>
        <source>the program names its pumps; it runs on them together</source>
        <translation>das Programm nennt seine Pumpen; es läuft auf ihnen gemeinsam</translation>
    </message>
    <message>
        <source>the program has no steps</source>
        <translation>das Programm hat keine Schritte</translation>
    </message>
    <message>
        <source>run started at the pump</source>
        <translation>an der Pumpe gestarteter Lauf</translation>
    </message>
    <message>
        <source>run started by %1</source>
        <translation>von %1 gestarteter Lauf</translation>
    </message>
    <message>
        <source>prime</source>
        <translation>Ansaugen</translation>
    </message>
    <message>
        <source>start</source>
        <translation>Start</translation>
    </message>
    <message>
        <source>pause</source>
        <translation>Pause</translation>
    </message>
    <message>
        <source>one dose per start</source>
        <translation>eine Dosis je Start</translation>
    </message>
    <message>
        <source>the query of the volume delivered</source>
        <translation>Abfrage des geförderten Volumens</translation>
    </message>
    <message>
        <source>the volume mode</source>
        <translation>Volumenmodus</translation>
    </message>
    <message>
        <source>the flow mode</source>
        <translation>Durchflussmodus</translation>
    </message>
    <message>
        <source>the volume</source>
        <translation>Volumen</translation>
    </message>
    <message>
        <source>the flow rate</source>
        <translation>Durchfluss</translation>
    </message>
    <message>
        <source>the dispense time</source>
        <translation>Dosierzeit</translation>
    </message>
    <message>
        <source>, pass %1/%2</source>
        <translation>, Durchgang %1/%2</translation>
    </message>
</context>
<context>
    <name>ProgramStepModel</name>
    <message>
        <source>Note: %1</source>
        <translation>Hinweis: %1</translation>
    </message>
</context>
<context>
    <name>ProgramTab</name>
    <message>
        <source>The last program, %1, is no longer there; a new one is shown.</source>
        <translation>Das letzte Programm, %1, ist nicht mehr vorhanden; ein neues wird gezeigt.</translation>
    </message>
    <message>
        <source>Note, row %1: %2</source>
        <translation>Hinweis, Zeile %1: %2</translation>
    </message>
</context>
<context>
    <name>ShownBridgeText</name>
    <message>
        <source>no broker given (--broker mqtt://HOST:PORT)</source>
        <translation>kein Broker angegeben (--broker mqtt://HOST:PORT)</translation>
    </message>
    <message>
        <source>a broker address may not hold a user name or password: give them with --username and --password-file (username and password-file in a configuration file)</source>
        <translation>eine Broker-Adresse darf keinen Benutzernamen und kein Passwort enthalten: diese mit --username und --password-file angeben (username und password-file in einer Konfigurationsdatei)</translation>
    </message>
    <message>
        <source>&quot;%1&quot; is not a broker address such as mqtt://localhost:1883 or mqtts://broker:8883</source>
        <translation>„%1“ ist keine Broker-Adresse wie mqtt://localhost:1883 oder mqtts://broker:8883</translation>
    </message>
    <message>
        <source>the pump id &quot;%1&quot; may not be empty or hold &apos;/&apos;, &apos;+&apos; or &apos;#&apos;</source>
        <translation>die Pumpen-ID „%1“ darf nicht leer sein und kein &apos;/&apos;, &apos;+&apos; oder &apos;#&apos; enthalten</translation>
    </message>
    <message>
        <source>the topic prefix &quot;%1&quot; is not a topic</source>
        <translation>das Topic-Präfix „%1“ ist kein Topic</translation>
    </message>
    <message>
        <source>a password needs a username</source>
        <translation>ein Passwort braucht einen Benutzernamen</translation>
    </message>
    <message>
        <source>certificates need a TLS broker address (mqtts://)</source>
        <translation>Zertifikate brauchen eine TLS-Broker-Adresse (mqtts://)</translation>
    </message>
    <message>
        <source>a client certificate needs its key, and a key its certificate</source>
        <translation>ein Client-Zertifikat braucht seinen Schlüssel und ein Schlüssel sein Zertifikat</translation>
    </message>
    <message>
        <source>%1: cannot be read: %2</source>
        <translation>%1: kann nicht gelesen werden: %2</translation>
    </message>
    <message>
        <source>it is a folder, not a regular file</source>
        <translation>es ist ein Ordner, keine reguläre Datei</translation>
    </message>
    <message>
        <source>it is a FIFO (named pipe), not a regular file</source>
        <translation>es ist ein FIFO (Named Pipe), keine reguläre Datei</translation>
    </message>
    <message>
        <source>it is a device, not a regular file</source>
        <translation>es ist ein Gerät, keine reguläre Datei</translation>
    </message>
    <message>
        <source>it is a socket, not a regular file</source>
        <translation>es ist ein Socket, keine reguläre Datei</translation>
    </message>
    <message>
        <source>it is not a regular file</source>
        <translation>es ist keine reguläre Datei</translation>
    </message>
    <message>
        <source>the connection to the broker was lost</source>
        <translation>die Verbindung zum Broker ging verloren</translation>
    </message>
    <message>
        <source>the broker closed the connection</source>
        <translation>der Broker hat die Verbindung geschlossen</translation>
    </message>
    <message>
        <source>no answer from the broker within %1 s</source>
        <translation>keine Antwort vom Broker innerhalb von %1 s</translation>
    </message>
    <message>
        <source>cannot look up the host %1</source>
        <translation>der Host %1 lässt sich nicht auflösen</translation>
    </message>
    <message>
        <source>no memory for a connection</source>
        <translation>kein Speicher für eine Verbindung</translation>
    </message>
    <message>
        <source>bad user name or password</source>
        <translation>falscher Benutzername oder falsches Passwort</translation>
    </message>
    <message>
        <source>not authorised</source>
        <translation>nicht berechtigt</translation>
    </message>
    <message>
        <source>the will topic %1 cannot be used</source>
        <translation>das Will-Topic %1 ist nicht verwendbar</translation>
    </message>
    <message>
        <source>connection refused</source>
        <translation>Verbindung abgelehnt</translation>
    </message>
    <message>
        <source>network is unreachable</source>
        <translation>Netzwerk nicht erreichbar</translation>
    </message>
    <message>
        <source>no route to host</source>
        <translation>keine Route zum Host</translation>
    </message>
    <message>
        <source>connection timed out</source>
        <translation>Zeitüberschreitung der Verbindung</translation>
    </message>
    <message>
        <source>TLS: the handshake failed</source>
        <translation>TLS: der Handshake ist fehlgeschlagen</translation>
    </message>
    <message>
        <source>TLS: the broker&apos;s certificate does not name host %1</source>
        <translation>TLS: das Zertifikat des Brokers nennt den Host %1 nicht</translation>
    </message>
    <message>
        <source>TLS: the broker&apos;s certificate is not trusted (%1)</source>
        <translation>TLS: dem Zertifikat des Brokers wird nicht vertraut (%1)</translation>
    </message>
    <message>
        <source>TLS: the certificate, key or CA file cannot be used (%1)</source>
        <translation>TLS: die Zertifikats-, Schlüssel- oder CA-Datei ist nicht verwendbar (%1)</translation>
    </message>
    <message>
        <source>TLS: the certificate and key files cannot be used together</source>
        <translation>TLS: Zertifikats- und Schlüsseldatei passen nicht zusammen</translation>
    </message>
    <message>
        <source>the pump id &quot;%1&quot; is already online at the broker, with no owner record to say where (a bridge of an older version, or an &quot;online&quot; left behind, which a retained empty message to its availability topic clears)</source>
        <translation>die Pumpen-ID „%1“ ist am Broker schon online, ohne Besitzereintrag, der sagt, wo (eine Brücke einer älteren Version oder ein zurückgebliebenes „online“, das eine gespeicherte leere Nachricht an ihr Availability-Topic löscht)</translation>
    </message>
    <message>
        <source>the pump id &quot;%1&quot; is already online at the broker, served from host %2, pid %3, since %4</source>
        <translation>die Pumpen-ID „%1“ ist am Broker schon online, bedient von Host %2, PID %3, seit %4</translation>
    </message>
    <message>
        <source>an unknown time</source>
        <translation>einem unbekannten Zeitpunkt</translation>
    </message>
</context>
<context>
    <name>ShownRefusal</name>
    <message>
        <source> on a %1</source>
        <translation> bei einer %1</translation>
    </message>
    <message>
        <source>%1: %2 is below %3%4%5</source>
        <translation>%1: %2 liegt unter %3%4%5</translation>
    </message>
    <message>
        <source>%1: %2 is above %3%4%5</source>
        <translation>%1: %2 liegt über %3%4%5</translation>
    </message>
    <message>
        <source>%1: no number was typed</source>
        <translation>%1: keine Zahl eingegeben</translation>
    </message>
    <message>
        <source>%1: &quot;%2&quot; is not a number</source>
        <translation>%1: „%2“ ist keine Zahl</translation>
    </message>
    <message>
        <source> (write it without a thousands separator)</source>
        <translation> (ohne Tausendertrennzeichen schreiben)</translation>
    </message>
    <message>
        <source> (the decimal separator is the point; a comma is not taken)</source>
        <translation> (das Dezimaltrennzeichen ist der Punkt; ein Komma wird nicht angenommen)</translation>
    </message>
    <message>
        <source>flow-rate</source>
        <translation>Durchfluss</translation>
    </message>
    <message>
        <source>volume</source>
        <translation>Volumen</translation>
    </message>
    <message>
        <source>dispense-time</source>
        <translation>Dosierzeit</translation>
    </message>
    <message>
        <source>cycles</source>
        <translation>Zyklen</translation>
    </message>
    <message>
        <source>break-time</source>
        <translation>Pausenzeit</translation>
    </message>
    <message>
        <source>calibration-volume</source>
        <translation>Kalibriervolumen</translation>
    </message>
    <message>
        <source>calibration-percent</source>
        <translation>Kalibrierung</translation>
    </message>
    <message>
        <source>contrast</source>
        <translation>Kontrast</translation>
    </message>
    <message>
        <source>address</source>
        <translation>Adresse</translation>
    </message>
    <message>
        <source>stroke volume</source>
        <translation>Hubvolumen</translation>
    </message>
    <message>
        <source>factory calibration volume</source>
        <translation>Werkskalibrierung Volumen</translation>
    </message>
    <message>
        <source>%1: %2 is outside %3</source>
        <translation>%1: %2 liegt außerhalb von %3</translation>
    </message>
    <message>
        <source>%1 - %2</source>
        <translation>%1 - %2</translation>
    </message>
    <message>
        <source>%1 on a %2</source>
        <translation>%1 bei einer %2</translation>
    </message>
    <message>
        <source>%1: &quot;%2&quot; is not one of %3</source>
        <translation>%1: „%2“ ist keines von %3</translation>
    </message>
    <message>
        <source>%1 cannot be set</source>
        <translation>%1 kann nicht gesetzt werden</translation>
    </message>
    <message>
        <source>%1: &quot;%2&quot; is not a duration such as 90s, 5m, 1h30m or 01:30:00</source>
        <translation>%1: „%2“ ist keine Dauer wie 90s, 5m, 1h30m oder 01:30:00</translation>
    </message>
    <message>
        <source>%1: &quot;%2&quot; is not a number, off or inf</source>
        <translation>%1: „%2“ ist keine Zahl, off oder inf</translation>
    </message>
    <message>
        <source>%1: &quot;%2&quot; is not on or off</source>
        <translation>%1: „%2“ ist nicht on oder off</translation>
    </message>
    <message>
        <source>%1: &quot;%2&quot; is not a percentage</source>
        <translation>%1: „%2“ ist kein Prozentwert</translation>
    </message>
    <message>
        <source>%1: %2 is not a step of 0.1 %</source>
        <translation>%1: %2 ist kein Schritt von 0,1 %</translation>
    </message>
</context>
<context>
    <name>mainForm</name>
    <message>
        <source>PUMP CONNECTED</source>
        <translation>PUMPE VERBUNDEN</translation>
    </message>
    <message>
        <source>PUMP DISCONNECTED </source>
        <translation>PUMPE GETRENNT </translation>
    </message>
    <message>
        <source>(PORT opend)</source>
        <translation>(ANSCHLUSS offen)</translation>
    </message>
    <message>
        <source>(PORT unavailable)</source>
        <translation>(ANSCHLUSS nicht verfügbar)</translation>
    </message>
    <message>
        <source>COMMAND ACCEPTED</source>
        <translation>BEFEHL ANGENOMMEN</translation>
    </message>
    <message>
        <source>COMMAND NOT ACCEPTED (RANGE)</source>
        <translation>BEFEHL NICHT ANGENOMMEN (BEREICH)</translation>
    </message>
    <message>
        <source> - pump reports: %1</source>
        <translation> – Pumpe meldet: %1</translation>
    </message>
</context>
<context>
    <name>mainScreen</name>
    <message>
        <source>Halvo DOSETTA</source>
        <translation>Halvo DOSETTA</translation>
    </message>
    <message>
        <source>background-color: white;</source>
        <translation>background-color: white;</translation>
    </message>
    <message>
        <source>QFrame#frameTarget {
    background-color: rgb(240,240,240);
    border: 1px solid lightGrey;
}</source>
        <translation>QFrame#frameTarget {
    background-color: rgb(240,240,240);
    border: 1px solid lightGrey;
}</translation>
    </message>
    <message>
        <source>Target</source>
        <translation>Soll</translation>
    </message>
    <message>
        <source>QGroupBox {
    border: none;
    padding-top: 35px;
    margin: 0px;
    font: 18pt &quot;Arial&quot;;
    color: rgb(0,149,216);
    background-color: rgb(240,240,240);
}
QGroupBox::title {
    subcontrol-origin: margin;
    subcontrol-position: top left;
    left: 5px;
}</source>
        <translation>QGroupBox {
    border: none;
    padding-top: 35px;
    margin: 0px;
    font: 18pt &quot;Arial&quot;;
    color: rgb(0,149,216);
    background-color: rgb(240,240,240);
}
QGroupBox::title {
    subcontrol-origin: margin;
    subcontrol-position: top left;
    left: 5px;
}</translation>
    </message>
    <message>
        <source>Flowrate</source>
        <translation>Durchfluss</translation>
    </message>
    <message>
        <source>QGroupBox {
    border: none;
    padding-top: 20px;
    margin: 0px;
    margin-top: 12px;
    font: 14pt &quot;Arial&quot;;
    color: rgb(0,149,216);
    background-color: rgb(240,240,240);
}
QGroupBox::title {
    subcontrol-origin: margin;
    subcontrol-position: top left;
    left: 5px;
}</source>
        <translation>QGroupBox {
    border: none;
    padding-top: 20px;
    margin: 0px;
    margin-top: 12px;
    font: 14pt &quot;Arial&quot;;
    color: rgb(0,149,216);
    background-color: rgb(240,240,240);
}
QGroupBox::title {
    subcontrol-origin: margin;
    subcontrol-position: top left;
    left: 5px;
}</translation>
    </message>
    <message>
        <source>   ml/min   </source>
        <translation>   ml/min   </translation>
    </message>
    <message>
        <source>Dispense Time</source>
        <translation>Dosierzeit</translation>
    </message>
    <message>
        <source>0</source>
        <translation>0</translation>
    </message>
    <message>
        <source>h</source>
        <translation>h</translation>
    </message>
    <message>
        <source>background-color: rgb(240,240,240);</source>
        <translation>background-color: rgb(240,240,240);</translation>
    </message>
    <message>
        <source>min</source>
        <translation>min</translation>
    </message>
    <message>
        <source>sec</source>
        <translation>s</translation>
    </message>
    <message>
        <source>QFrame#frameActual {
    background-color: rgb(240,240,240);
    border: 1px solid lightGrey;
}</source>
        <translation>QFrame#frameActual {
    background-color: rgb(240,240,240);
    border: 1px solid lightGrey;
}</translation>
    </message>
    <message>
        <source>Actual</source>
        <translation>Ist</translation>
    </message>
    <message>
        <source>Time elapsed</source>
        <translation>Verstrichene Zeit</translation>
    </message>
    <message>
        <source>QGroupBox {
    border: none;
    padding-top: 20px;
    margin: 0px;
    margin-top: 12px;
    font: 14pt &quot;Arial&quot;;
    background-color: rgb(240,240,240);
}
QGroupBox::title {
    subcontrol-origin: margin;
    subcontrol-position: top left;
    left: 5px;
}</source>
        <translation>QGroupBox {
    border: none;
    padding-top: 20px;
    margin: 0px;
    margin-top: 12px;
    font: 14pt &quot;Arial&quot;;
    background-color: rgb(240,240,240);
}
QGroupBox::title {
    subcontrol-origin: margin;
    subcontrol-position: top left;
    left: 5px;
}</translation>
    </message>
    <message>
        <source>Volume</source>
        <translation>Volumen</translation>
    </message>
    <message>
        <source> 0.000 ml</source>
        <translation> 0.000 ml</translation>
    </message>
    <message>
        <source>Stop   </source>
        <translation>Stopp   </translation>
    </message>
    <message>
        <source>Start    </source>
        <translation>Start    </translation>
    </message>
    <message>
        <source>Pause</source>
        <translation>Pause</translation>
    </message>
    <message>
        <source>Prime</source>
        <translation>Ansaugen</translation>
    </message>
    <message>
        <source>border-color: grey;
font: 14pt &quot;Arial&quot;;
background-color: rgb(240,240,240);</source>
        <translation>border-color: grey;
font: 14pt &quot;Arial&quot;;
background-color: rgb(240,240,240);</translation>
    </message>
    <message>
        <source>color: rgb(0,149,216)</source>
        <translation>color: rgb(0,149,216)</translation>
    </message>
    <message>
        <source>Settings</source>
        <translation>Einstellungen</translation>
    </message>
    <message>
        <source>Additional Settings</source>
        <translation>Weitere Einstellungen</translation>
    </message>
    <message>
        <source>QGroupBox {
    border: none;
    padding-top: 35px;
    margin: 0px;
    font: 18pt &quot;Arial&quot;;
    color: rgb(0,149,216);
    background-color: rgb(240,240,240);
}
QGroupBox::title {
    subcontrol-origin: margin;
    subcontrol-position: top left;
    left: 20px;
}</source>
        <translation>QGroupBox {
    border: none;
    padding-top: 35px;
    margin: 0px;
    font: 18pt &quot;Arial&quot;;
    color: rgb(0,149,216);
    background-color: rgb(240,240,240);
}
QGroupBox::title {
    subcontrol-origin: margin;
    subcontrol-position: top left;
    left: 20px;
}</translation>
    </message>
    <message>
        <source>Fluid type</source>
        <translation>Flüssigkeitstyp</translation>
    </message>
    <message>
        <source>STANDARD</source>
        <translation>STANDARD</translation>
    </message>
    <message>
        <source>DEGASSING</source>
        <translation>AUSGASEND</translation>
    </message>
    <message>
        <source>VISCOSITY 100cSt</source>
        <translation>VISKOSITÄT 100cSt</translation>
    </message>
    <message>
        <source>VISCOSITY 500cSt</source>
        <translation>VISKOSITÄT 500cSt</translation>
    </message>
    <message>
        <source>Language</source>
        <translation>Sprache</translation>
    </message>
    <message>
        <source>English</source>
        <translation>Englisch</translation>
    </message>
    <message>
        <source>German</source>
        <translation>Deutsch</translation>
    </message>
    <message>
        <source>French</source>
        <translation>Französisch</translation>
    </message>
    <message>
        <source>Spanish</source>
        <translation>Spanisch</translation>
    </message>
    <message>
        <source>Italian</source>
        <translation>Italienisch</translation>
    </message>
    <message>
        <source>Chinese</source>
        <translation>Chinesisch</translation>
    </message>
    <message>
        <source>Japanese</source>
        <translation>Japanisch</translation>
    </message>
    <message>
        <source>Calibration volume</source>
        <translation>Kalibriervolumen</translation>
    </message>
    <message>
        <source>ml</source>
        <translation>ml</translation>
    </message>
    <message>
        <source>Calibration %</source>
        <translation>Kalibrierung %</translation>
    </message>
    <message>
        <source>Contrast LCD</source>
        <translation>Kontrast LCD</translation>
    </message>
    <message>
        <source>Auto start</source>
        <translation>Autostart</translation>
    </message>
    <message>
        <source> Default values</source>
        <translation> Standardwerte</translation>
    </message>
    <message>
        <source>background-color: rgb(240,240,240)</source>
        <translation>background-color: rgb(240,240,240)</translation>
    </message>
    <message>
        <source>Maintenance</source>
        <translation>Wartung</translation>
    </message>
    <message>
        <source>I/O</source>
        <translation>E/A</translation>
    </message>
    <message>
        <source>Inputs / Outputs</source>
        <translation>Eingänge / Ausgänge</translation>
    </message>
    <message>
        <source>Digital input 1</source>
        <translation>Digitaleingang 1</translation>
    </message>
    <message>
        <source>OFF</source>
        <translation>AUS</translation>
    </message>
    <message>
        <source>Level Start/Stop</source>
        <translation>Pegel Start/Stopp</translation>
    </message>
    <message>
        <source>Edge Start/Stop</source>
        <translation>Flanke Start/Stopp</translation>
    </message>
    <message>
        <source>Digital input 2</source>
        <translation>Digitaleingang 2</translation>
    </message>
    <message>
        <source>Reset</source>
        <translation>Rücksetzen</translation>
    </message>
    <message>
        <source>Prime/Drain</source>
        <translation>Ansaugen/Entleeren</translation>
    </message>
    <message>
        <source>Reset &amp; Prime</source>
        <translation>Rücksetzen &amp; Ansaugen</translation>
    </message>
    <message>
        <source>Analog input</source>
        <translation>Analogeingang</translation>
    </message>
    <message>
        <source>0 .. 10 V</source>
        <translation>0 .. 10 V</translation>
    </message>
    <message>
        <source>0 .. 5 V</source>
        <translation>0 .. 5 V</translation>
    </message>
    <message>
        <source>0 .. 20 mA</source>
        <translation>0 .. 20 mA</translation>
    </message>
    <message>
        <source>4 .. 20 mA</source>
        <translation>4 .. 20 mA</translation>
    </message>
    <message>
        <source>Digital output</source>
        <translation>Digitalausgang</translation>
    </message>
    <message>
        <source>Alarm</source>
        <translation>Alarm</translation>
    </message>
    <message>
        <source>Motor ON</source>
        <translation>Motor EIN</translation>
    </message>
    <message>
        <source>Volume End</source>
        <translation>Volumenende</translation>
    </message>
    <message>
        <source>6 Pulses per Rev.</source>
        <translation>6 Impulse pro Umdr.</translation>
    </message>
    <message>
        <source>Pulse per 100ul</source>
        <translation>Impuls pro 100ul</translation>
    </message>
    <message>
        <source>Cycle</source>
        <translation>Zyklus</translation>
    </message>
    <message>
        <source>Cycles</source>
        <translation>Zyklen</translation>
    </message>
    <message>
        <source>QGroupBox {
    border: none;
    padding-top: 35px;
    margin: 0px;
    font: 18pt &quot;Arial&quot;;
    color: rgb(0,149,216);
    background-color: rgb(250,250,250);
}
QGroupBox::title {
    subcontrol-origin: margin;
    subcontrol-position: top left;
    left: 5px;
}</source>
        <translation>QGroupBox {
    border: none;
    padding-top: 35px;
    margin: 0px;
    font: 18pt &quot;Arial&quot;;
    color: rgb(0,149,216);
    background-color: rgb(250,250,250);
}
QGroupBox::title {
    subcontrol-origin: margin;
    subcontrol-position: top left;
    left: 5px;
}</translation>
    </message>
    <message>
        <source>border-color: rgb(250,250,250);</source>
        <translation>border-color: rgb(250,250,250);</translation>
    </message>
    <message>
        <source>Pause time</source>
        <translation>Pausenzeit</translation>
    </message>
    <message>
        <source>Status</source>
        <translation>Status</translation>
    </message>
    <message>
        <source>Status flags</source>
        <translation>Statusmeldungen</translation>
    </message>
    <message>
        <source>QGroupBox {
    border: none;
    padding-top: 35px;
    margin: 0px;
    font: 18pt &quot;Arial&quot;;
    color: rgb(0,149,216);
    background-color: rgb(240,240,240);
}
QGroupBox::title {
    subcontrol-origin: margin;
    subcontrol-position: top left;
    left: 10px;
}</source>
        <translation>QGroupBox {
    border: none;
    padding-top: 35px;
    margin: 0px;
    font: 18pt &quot;Arial&quot;;
    color: rgb(0,149,216);
    background-color: rgb(240,240,240);
}
QGroupBox::title {
    subcontrol-origin: margin;
    subcontrol-position: top left;
    left: 10px;
}</translation>
    </message>
    <message>
        <source>Motor in Motion</source>
        <translation>Motor läuft</translation>
    </message>
    <message>
        <source>Run mode active</source>
        <translation>Betriebsart aktiv</translation>
    </message>
    <message>
        <source>Pump error</source>
        <translation>Pumpenfehler</translation>
    </message>
    <message>
        <source>Motor adjusted</source>
        <translation>Motor justiert</translation>
    </message>
    <message>
        <source>Dispense mode active</source>
        <translation>Dosiermodus aktiv</translation>
    </message>
    <message>
        <source>Display ON</source>
        <translation>Anzeige EIN</translation>
    </message>
    <message>
        <source>Motor at dead center</source>
        <translation>Motor im Totpunkt</translation>
    </message>
    <message>
        <source>Master stop active</source>
        <translation>Hauptstopp aktiv</translation>
    </message>
    <message>
        <source>Input 1 low/active</source>
        <translation>Eingang 1 low/aktiv</translation>
    </message>
    <message>
        <source>Input 2 low/active</source>
        <translation>Eingang 2 low/aktiv</translation>
    </message>
    <message>
        <source>Errors</source>
        <translation>Fehler</translation>
    </message>
    <message>
        <source>No error</source>
        <translation>Kein Fehler</translation>
    </message>
    <message>
        <source>Signal 4-20mA too low</source>
        <translation>Signal 4-20mA zu niedrig</translation>
    </message>
    <message>
        <source>Overpressure</source>
        <translation>Überdruck</translation>
    </message>
    <message>
        <source>Power supply failure</source>
        <translation>Ausfall der Stromversorgung</translation>
    </message>
    <message>
        <source>Motor not adjusted</source>
        <translation>Motor nicht justiert</translation>
    </message>
    <message>
        <source>Maximum temperature exceeded</source>
        <translation>Höchsttemperatur überschritten</translation>
    </message>
    <message>
        <source>No encoder signal</source>
        <translation>Kein Drehgebersignal</translation>
    </message>
    <message>
        <source>Communication</source>
        <translation>Kommunikation</translation>
    </message>
    <message>
        <source>Communication port</source>
        <translation>Schnittstelle</translation>
    </message>
    <message>
        <source>Update Port Information</source>
        <translation>Anschlüsse neu einlesen</translation>
    </message>
    <message>
        <source>Communication Address</source>
        <translation>Kommunikationsadresse</translation>
    </message>
    <message>
        <source>Protocol Answer</source>
        <translation>Protokollantwort</translation>
    </message>
    <message>
        <source>Set pump address</source>
        <translation>Pumpenadresse setzen</translation>
    </message>
    <message>
        <source>Test</source>
        <translation>Test</translation>
    </message>
    <message>
        <source>Unused LRC</source>
        <translation>LRC nicht verwendet</translation>
    </message>
    <message>
        <source>Located address</source>
        <translation>Gefundene Adresse</translation>
    </message>
    <message>
        <source>NONE</source>
        <translation>KEINE</translation>
    </message>
    <message>
        <source>Search Pump</source>
        <translation>Pumpe suchen</translation>
    </message>
    <message>
        <source> Incorrect LRC</source>
        <translation> Falsche LRC</translation>
    </message>
    <message>
        <source>Command</source>
        <translation>Befehl</translation>
    </message>
    <message>
        <source>No cyclic data</source>
        <translation>Keine zyklischen Daten</translation>
    </message>
    <message>
        <source>Communication messages</source>
        <translation>Kommunikationsmeldungen</translation>
    </message>
    <message>
        <source>Transmitted data with time stamp</source>
        <translation>Gesendete Daten mit Zeitstempel</translation>
    </message>
    <message>
        <source>Received data with time stamp</source>
        <translation>Empfangene Daten mit Zeitstempel</translation>
    </message>
    <message>
        <source>Do not display any cyclic data</source>
        <translation>Keine zyklischen Daten anzeigen</translation>
    </message>
    <message>
        <source>Clear all</source>
        <translation>Alles löschen</translation>
    </message>
    <message>
        <source>Help</source>
        <translation>Hilfe</translation>
    </message>
    <message>
        <source>Factory</source>
        <translation>Werk</translation>
    </message>
    <message>
        <source>Factory Mode</source>
        <translation>Werksmodus</translation>
    </message>
    <message>
        <source>Factory calibration pump stroke volume [ul]</source>
        <translation>Werkskalibrierung Hubvolumen der Pumpe [ul]</translation>
    </message>
    <message>
        <source>Factory calibration volume [ml]</source>
        <translation>Werkskalibrierung Volumen [ml]</translation>
    </message>
    <message>
        <source>Pump type</source>
        <translation>Pumpentyp</translation>
    </message>
    <message>
        <source>M10-A</source>
        <translation>M10-A</translation>
    </message>
    <message>
        <source>M10-B</source>
        <translation>M10-B</translation>
    </message>
    <message>
        <source>M02-A</source>
        <translation>M02-A</translation>
    </message>
    <message>
        <source>M02-B</source>
        <translation>M02-B</translation>
    </message>
    <message>
        <source>M10-C</source>
        <translation>M10-C</translation>
    </message>
    <message>
        <source>M02-C</source>
        <translation>M02-C</translation>
    </message>
    <message>
        <source>Stress test of communication</source>
        <translation>Belastungstest der Kommunikation</translation>
    </message>
    <message>
        <source>border: 1px outset white;
background-color: white;</source>
        <translation>border: 1px outset white;
background-color: white;</translation>
    </message>
    <message>
        <source>background-color : rgb(255, 255, 255)</source>
        <translation>background-color : rgb(255, 255, 255)</translation>
    </message>
    <message>
        <source>UNKNOWN</source>
        <translation>UNBEKANNT</translation>
    </message>
    <message>
        <source>Firmware</source>
        <translation>Firmware</translation>
    </message>
    <message>
        <source>V1.000</source>
        <translation>V1.000</translation>
    </message>
    <message>
        <source>Pump address is now %1; DOSETTA follows it</source>
        <translation>Die Pumpenadresse ist jetzt %1; DOSETTA folgt ihr</translation>
    </message>
    <message>
        <source>Record</source>
        <translation>Aufzeichnen</translation>
    </message>
    <message>
        <source>Record to...</source>
        <translation>Aufzeichnen in...</translation>
    </message>
    <message>
        <source>Stop recording</source>
        <translation>Aufzeichnung beenden</translation>
    </message>
    <message>
        <source>Fit all</source>
        <translation>Alles zeigen</translation>
    </message>
    <message>
        <source>Follow</source>
        <translation>Folgen</translation>
    </message>
    <message>
        <source>Save image...</source>
        <translation>Bild speichern...</translation>
    </message>
    <message>
        <source>Record every refresh of the pump&apos;s values into a new CSV file in the documents folder</source>
        <translation>Jede Aktualisierung der Pumpenwerte in eine neue CSV-Datei im Dokumentenordner aufzeichnen</translation>
    </message>
    <message>
        <source>Record into a new CSV file of your choice</source>
        <translation>In eine neue CSV-Datei Ihrer Wahl aufzeichnen</translation>
    </message>
    <message>
        <source>Drag to pan, turn the wheel to zoom, draw a rectangle with the right button (or Shift and the left) to zoom to it; click a legend entry to hide or show its curve</source>
        <translation>Ziehen verschiebt, das Mausrad zoomt, ein Rechteck mit der rechten Taste (oder Umschalt und der linken) zoomt darauf; ein Klick auf einen Legendeneintrag blendet seine Kurve aus oder ein</translation>
    </message>
    <message>
        <source>Record to</source>
        <translation>Aufzeichnen in</translation>
    </message>
    <message>
        <source>CSV files (*.csv);;All files (*)</source>
        <translation>CSV-Dateien (*.csv);;Alle Dateien (*)</translation>
    </message>
    <message>
        <source>The image could not be written to %1.</source>
        <translation>Das Bild konnte nicht nach %1 geschrieben werden.</translation>
    </message>
    <message>
        <source>Save image</source>
        <translation>Bild speichern</translation>
    </message>
    <message>
        <source>PNG images (*.png)</source>
        <translation>PNG-Bilder (*.png)</translation>
    </message>
    <message>
        <source>Recording</source>
        <translation>Aufzeichnung läuft</translation>
    </message>
    <message>
        <source>File: %1</source>
        <translation>Datei: %1</translation>
    </message>
    <message>
        <source>Rows: %1</source>
        <translation>Zeilen: %1</translation>
    </message>
    <message>
        <source>Records go to %1</source>
        <translation>Aufzeichnungen gehen nach %1</translation>
    </message>
    <message>
        <source>Not recording</source>
        <translation>Keine Aufzeichnung</translation>
    </message>
    <message>
        <source>running</source>
        <translation>in Betrieb</translation>
    </message>
    <message>
        <source>priming</source>
        <translation>beim Ansaugen</translation>
    </message>
    <message>
        <source>paused in the middle of a run</source>
        <translation>mitten in einem Lauf pausiert</translation>
    </message>
    <message>
        <source>Default values</source>
        <translation>Standardwerte</translation>
    </message>
    <message>
        <source>Reset every pump setting to its start value?</source>
        <translation>Alle Einstellungen der Pumpe auf ihre Anfangswerte zurücksetzen?</translation>
    </message>
    <message>
        <source>Run mode, set-points, dispense time, cycles and pause, inputs and outputs, fluid type, language, contrast, calibration, auto start, the pump model and the pump&apos;s address all go back to the values the pump starts with. If the pump then answers at another address than %1, find it again with Search Pump.</source>
        <translation>Betriebsart, Sollwerte, Dosierzeit, Zyklen und Pause, Ein- und Ausgänge, Flüssigkeitstyp, Sprache, Kontrast, Kalibrierung, Autostart, Pumpenmodell und Pumpenadresse gehen auf die Anfangswerte der Pumpe zurück. Antwortet die Pumpe danach unter einer anderen Adresse als %1, finden Sie sie mit Pumpe suchen wieder.</translation>
    </message>
    <message>
        <source>The pump is %1. Move it to its maintenance position?</source>
        <translation>Die Pumpe ist %1. In die Wartungsposition fahren?</translation>
    </message>
    <message>
        <source>The motor stops and the run ends; it does not continue afterwards.</source>
        <translation>Der Motor hält an und der Lauf endet; er wird danach nicht fortgesetzt.</translation>
    </message>
    <message>
        <source>Give the pump at address %1 the new address %2?</source>
        <translation>Der Pumpe mit der Adresse %1 die neue Adresse %2 geben?</translation>
    </message>
    <message>
        <source>From then on the pump answers only at address %1. Once it has taken the address, DOSETTA talks to it there and keeps that address for its next start.</source>
        <translation>Danach antwortet die Pumpe nur noch unter der Adresse %1. Sobald sie die Adresse übernommen hat, spricht DOSETTA sie dort an und behält diese Adresse für den nächsten Start.</translation>
    </message>
    <message>
        <source>Switch the pump&apos;s factory mode on?</source>
        <translation>Werksmodus der Pumpe einschalten?</translation>
    </message>
    <message>
        <source>Switch the pump&apos;s factory mode off?</source>
        <translation>Werksmodus der Pumpe ausschalten?</translation>
    </message>
    <message>
        <source>The pump goes from normal operation into factory mode.</source>
        <translation>Die Pumpe wechselt vom Normalbetrieb in den Werksmodus.</translation>
    </message>
    <message>
        <source>The pump leaves factory mode for normal operation.</source>
        <translation>Die Pumpe verlässt den Werksmodus und geht in den Normalbetrieb.</translation>
    </message>
    <message>
        <source>Set the pump model to %1?</source>
        <translation>Pumpenmodell auf %1 setzen?</translation>
    </message>
    <message>
        <source>The pump reports the model %1 now. </source>
        <translation>Die Pumpe meldet jetzt das Modell %1. </translation>
    </message>
    <message>
        <source>The model decides the pump&apos;s type and the limits it doses within.</source>
        <translation>Das Modell bestimmt den Pumpentyp und die Grenzen, in denen sie dosiert.</translation>
    </message>
    <message>
        <source>Write %1 ul as the pump&apos;s factory stroke volume?</source>
        <translation>%1 ul als Werks-Hubvolumen der Pumpe schreiben?</translation>
    </message>
    <message>
        <source>The pump holds %1 ul now. </source>
        <translation>Die Pumpe hat jetzt %1 ul. </translation>
    </message>
    <message>
        <source>Every volume the pump doses follows from this value.</source>
        <translation>Jedes Volumen, das die Pumpe dosiert, folgt aus diesem Wert.</translation>
    </message>
    <message>
        <source>Write %1 ml as the pump&apos;s factory calibration volume?</source>
        <translation>%1 ml als Werks-Kalibriervolumen der Pumpe schreiben?</translation>
    </message>
    <message>
        <source>The pump&apos;s factory calibration changes, and with it every volume it doses.</source>
        <translation>Die Werkskalibrierung der Pumpe ändert sich und mit ihr jedes Volumen, das sie dosiert.</translation>
    </message>
    <message>
        <source>The pump is %1. Close the window?</source>
        <translation>Die Pumpe ist %1. Fenster schließen?</translation>
    </message>
    <message>
        <source>The pump keeps running once the window is closed; DOSETTA no longer watches it or stops it.</source>
        <translation>Die Pumpe läuft weiter, wenn das Fenster geschlossen ist; DOSETTA überwacht und stoppt sie dann nicht mehr.</translation>
    </message>
    <message>
        <source>A recording is on. Close the window?</source>
        <translation>Eine Aufzeichnung läuft. Fenster schließen?</translation>
    </message>
    <message>
        <source>The recording into %1 ends.</source>
        <translation>Die Aufzeichnung in %1 endet.</translation>
    </message>
    <message>
        <source>Close DOSETTA</source>
        <translation>DOSETTA schließen</translation>
    </message>
    <message>
        <source>Start the pump with the set-point and dispense time shown; after a pause, continue the run</source>
        <translation>Pumpe mit dem angezeigten Sollwert und der Dosierzeit starten; nach einer Pause den Lauf fortsetzen</translation>
    </message>
    <message>
        <source>Stop the pump at once (%1)</source>
        <translation>Pumpe sofort stoppen (%1)</translation>
    </message>
    <message>
        <source>Prime: run at full speed to fill the tubing and drive out air, until Stop</source>
        <translation>Ansaugen: mit voller Geschwindigkeit laufen, um die Schläuche zu füllen und Luft auszutreiben, bis Stopp</translation>
    </message>
    <message>
        <source>Show the advanced screen: settings, status, communication and help</source>
        <translation>Erweiterte Ansicht zeigen: Einstellungen, Status, Kommunikation und Hilfe</translation>
    </message>
    <message>
        <source>Hide the advanced screen</source>
        <translation>Erweiterte Ansicht ausblenden</translation>
    </message>
    <message>
        <source>PUMP ERROR: %1</source>
        <translation>PUMPENFEHLER: %1</translation>
    </message>
    <message>
        <source>Start</source>
        <translation>Start</translation>
    </message>
    <message>
        <source>End</source>
        <translation>Ende</translation>
    </message>
    <message>
        <source>Pump</source>
        <translation>Pumpe</translation>
    </message>
    <message>
        <source>Origin</source>
        <translation>Herkunft</translation>
    </message>
    <message>
        <source>Who</source>
        <translation>Wer</translation>
    </message>
    <message>
        <source>Cause</source>
        <translation>Ursache</translation>
    </message>
    <message>
        <source>Volume (ml)</source>
        <translation>Volumen (ml)</translation>
    </message>
    <message>
        <source>Time (s)</source>
        <translation>Zeit (s)</translation>
    </message>
    <message>
        <source>Asked</source>
        <translation>Angefordert</translation>
    </message>
    <message>
        <source>Time</source>
        <translation>Zeit</translation>
    </message>
    <message>
        <source>Kind</source>
        <translation>Art</translation>
    </message>
    <message>
        <source>Key</source>
        <translation>Schlüssel</translation>
    </message>
    <message>
        <source>Change</source>
        <translation>Änderung</translation>
    </message>
    <message>
        <source>Verdict</source>
        <translation>Ergebnis</translation>
    </message>
    <message>
        <source>Run %1</source>
        <translation>Lauf %1</translation>
    </message>
    <message>
        <source>No end in the journal yet: the run goes on, or what ran it ended without writing one.</source>
        <translation>Noch kein Ende im Journal: Der Lauf geht weiter, oder was ihn ausführte, endete ohne eines zu schreiben.</translation>
    </message>
    <message>
        <source>Entry %1</source>
        <translation>Eintrag %1</translation>
    </message>
    <message>
        <source>yes</source>
        <translation>ja</translation>
    </message>
    <message>
        <source>no</source>
        <translation>nein</translation>
    </message>
    <message>
        <source>%1 items</source>
        <translation>%1 Einträge</translation>
    </message>
    <message>
        <source>Runs</source>
        <translation>Läufe</translation>
    </message>
    <message>
        <source>Changes</source>
        <translation>Änderungen</translation>
    </message>
    <message>
        <source>Kind:</source>
        <translation>Art:</translation>
    </message>
    <message>
        <source>Pump:</source>
        <translation>Pumpe:</translation>
    </message>
    <message>
        <source>Show on chart</source>
        <translation>Im Diagramm zeigen</translation>
    </message>
    <message>
        <source>Each run: when it started and ended, who asked for what, why it ended and what the pump counted</source>
        <translation>Jeder Lauf: wann er begann und endete, wer was anforderte, warum er endete und was die Pumpe zählte</translation>
    </message>
    <message>
        <source>Settings sent or refused, the link found or lost, programs started</source>
        <translation>Gesendete oder abgelehnte Einstellungen, Verbindung gefunden oder verloren, gestartete Programme</translation>
    </message>
    <message>
        <source>All</source>
        <translation>Alle</translation>
    </message>
    <message>
        <source>Last hour</source>
        <translation>Letzte Stunde</translation>
    </message>
    <message>
        <source>Today</source>
        <translation>Heute</translation>
    </message>
    <message>
        <source>Last 7 days</source>
        <translation>Letzte 7 Tage</translation>
    </message>
    <message>
        <source>Only what began in this period</source>
        <translation>Nur was in diesem Zeitraum begann</translation>
    </message>
    <message>
        <source>All changes</source>
        <translation>Alle Änderungen</translation>
    </message>
    <message>
        <source>Refused</source>
        <translation>Abgelehnt</translation>
    </message>
    <message>
        <source>Link</source>
        <translation>Verbindung</translation>
    </message>
    <message>
        <source>Programs</source>
        <translation>Programme</translation>
    </message>
    <message>
        <source>Calibration</source>
        <translation>Kalibrierung</translation>
    </message>
    <message>
        <source>Service</source>
        <translation>Service</translation>
    </message>
    <message>
        <source>All pumps</source>
        <translation>Alle Pumpen</translation>
    </message>
    <message>
        <source>Journal: %1</source>
        <translation>Journal: %1</translation>
    </message>
    <message>
        <source>Show the chart around the run picked</source>
        <translation>Das Diagramm um den gewählten Lauf zeigen</translation>
    </message>
    <message>
        <source>Period:</source>
        <translation>Zeitraum:</translation>
    </message>
    <message>
        <source>Journal</source>
        <translation>Journal</translation>
    </message>
    <message>
        <source>No journal at %1 yet: it begins with the first run or change on this computer.</source>
        <translation>Noch kein Journal unter %1: Es beginnt mit dem ersten Lauf oder der ersten Änderung auf diesem Rechner.</translation>
    </message>
    <message>
        <source>The journal cannot be read: %1</source>
        <translation>Das Journal kann nicht gelesen werden: %1</translation>
    </message>
    <message>
        <source>No runs to show.</source>
        <translation>Keine Läufe vorhanden.</translation>
    </message>
    <message>
        <source>No changes to show.</source>
        <translation>Keine Änderungen vorhanden.</translation>
    </message>
    <message>
        <source>Showing the newest %1 of %2 runs.</source>
        <translation>Die neuesten %1 von %2 Läufen.</translation>
    </message>
    <message>
        <source>Showing the newest %1 of %2 changes.</source>
        <translation>Die neuesten %1 von %2 Änderungen.</translation>
    </message>
    <message>
        <source>1 run.</source>
        <translation>1 Lauf.</translation>
    </message>
    <message>
        <source>1 change.</source>
        <translation>1 Änderung.</translation>
    </message>
    <message>
        <source>%1 runs.</source>
        <translation>%1 Läufe.</translation>
    </message>
    <message>
        <source>%1 changes.</source>
        <translation>%1 Änderungen.</translation>
    </message>
    <message>
        <source>Pick a run to mark it on the chart.</source>
        <translation>Einen Lauf wählen, um ihn im Diagramm zu markieren.</translation>
    </message>
    <message>
        <source>Marked on the chart, which shows the pump of this window.</source>
        <translation>Im Diagramm markiert, das die Pumpe dieses Fensters zeigt.</translation>
    </message>
    <message>
        <source>Not on the chart: it holds what this window saw of its pump, over 24 hours at most.</source>
        <translation>Nicht im Diagramm: Es enthält, was dieses Fenster von seiner Pumpe sah, höchstens 24 Stunden.</translation>
    </message>
    <message>
        <source>Network</source>
        <translation>Netzwerk</translation>
    </message>
    <message>
        <source>Broker</source>
        <translation>Broker</translation>
    </message>
    <message>
        <source>Pump id</source>
        <translation>Pumpen-ID</translation>
    </message>
    <message>
        <source>Connect</source>
        <translation>Verbinden</translation>
    </message>
    <message>
        <source>Allow remote control</source>
        <translation>Fernsteuerung erlauben</translation>
    </message>
    <message>
        <source>Allow remote configuration</source>
        <translation>Fernkonfiguration erlauben</translation>
    </message>
    <message>
        <source>Let the broker&apos;s clients start, stop, pause or prime the pump and set its dosing values</source>
        <translation>Die Clients des Brokers dürfen die Pumpe starten, stoppen, pausieren, ansaugen lassen und ihre Dosierwerte setzen</translation>
    </message>
    <message>
        <source>Let the broker&apos;s clients change the pump&apos;s other settings: address, inputs and output, calibration, fluid, language, contrast</source>
        <translation>Die Clients des Brokers dürfen die übrigen Einstellungen der Pumpe ändern: Adresse, Ein- und Ausgang, Kalibrierung, Flüssigkeit, Sprache, Kontrast</translation>
    </message>
    <message>
        <source>NET</source>
        <translation>NETZ</translation>
    </message>
    <message>
        <source>REMOTE</source>
        <translation>FERN</translation>
    </message>
    <message>
        <source>Remote control or configuration is allowed: the broker&apos;s clients may set values or run the pump</source>
        <translation>Fernsteuerung oder Fernkonfiguration ist erlaubt: Die Clients des Brokers dürfen Werte setzen oder die Pumpe laufen lassen</translation>
    </message>
    <message>
        <source>Enter the broker&apos;s address, such as mqtt://localhost:1883</source>
        <translation>Die Adresse des Brokers eingeben, etwa mqtt://localhost:1883</translation>
    </message>
    <message>
        <source>Disconnect</source>
        <translation>Trennen</translation>
    </message>
    <message>
        <source>Not connected</source>
        <translation>Nicht verbunden</translation>
    </message>
    <message>
        <source>Connecting to %1 ...</source>
        <translation>Verbinde mit %1 ...</translation>
    </message>
    <message>
        <source>Trying %1 again: %2</source>
        <translation>Erneuter Versuch mit %1: %2</translation>
    </message>
    <message>
        <source>Publishing as %1</source>
        <translation>Veröffentlicht als %1</translation>
    </message>
    <message>
        <source>Refused by %1: %2</source>
        <translation>Abgelehnt von %1: %2</translation>
    </message>
    <message>
        <source>Publishing as %1 on %2</source>
        <translation>Veröffentlicht als %1 auf %2</translation>
    </message>
    <message>
        <source>Flow rate (ml/min)</source>
        <translation>Durchfluss (ml/min)</translation>
    </message>
    <message>
        <source>Stop</source>
        <translation>Stopp</translation>
    </message>
    <message>
        <source>Volume delivered (ml)</source>
        <translation>Gefördertes Volumen (ml)</translation>
    </message>
    <message>
        <source>Flow rate set (ml/min)</source>
        <translation>Eingestellter Durchfluss (ml/min)</translation>
    </message>
    <message>
        <source>Journal run</source>
        <translation>Lauf im Journal</translation>
    </message>
    <message>
        <source>Chart</source>
        <translation>Diagramm</translation>
    </message>
    <message>
        <source>REC</source>
        <translation>AUFN</translation>
    </message>
    <message>
        <source>Recording to %1</source>
        <translation>Aufzeichnung in %1</translation>
    </message>
    <message>
        <source>REC STOPPED</source>
        <translation>AUFN GESTOPPT</translation>
    </message>
    <message>
        <source>PROGRAM</source>
        <translation>PROGRAMM</translation>
    </message>
    <message>
        <source>PROGRAM %1/%2</source>
        <translation>PROGRAMM %1/%2</translation>
    </message>
    <message>
        <source>row %1, %2</source>
        <translation>Zeile %1, %2</translation>
    </message>
    <message>
        <source>%1: &quot;%2&quot; is not a whole number</source>
        <translation>%1: „%2“ ist keine ganze Zahl</translation>
    </message>
    <message>
        <source>Continue when ready</source>
        <translation>Weiter, wenn bereit</translation>
    </message>
    <message>
        <source>%1 times</source>
        <translation>%1 Mal</translation>
    </message>
    <message>
        <source>%1 steps</source>
        <translation>%1 Schritte</translation>
    </message>
    <message>
        <source>Step</source>
        <translation>Schritt</translation>
    </message>
    <message>
        <source>Volume (%1)</source>
        <translation>Volumen (%1)</translation>
    </message>
    <message>
        <source>Rate (%1)</source>
        <translation>Durchfluss (%1)</translation>
    </message>
    <message>
        <source>To (%1)</source>
        <translation>Bis (%1)</translation>
    </message>
    <message>
        <source>Steps / times</source>
        <translation>Schritte / Mal</translation>
    </message>
    <message>
        <source>Prompt</source>
        <translation>Rückfrage</translation>
    </message>
    <message>
        <source>%1 h %2 min %3 s</source>
        <translation>%1 h %2 min %3 s</translation>
    </message>
    <message>
        <source>%1 min %2 s</source>
        <translation>%1 min %2 s</translation>
    </message>
    <message>
        <source>%1 s</source>
        <translation>%1 s</translation>
    </message>
    <message>
        <source>%1 ml</source>
        <translation>%1 ml</translation>
    </message>
    <message>
        <source>Dose: a volume at a rate</source>
        <translation>Dosieren: ein Volumen mit einem Durchfluss</translation>
    </message>
    <message>
        <source>Run: a rate for a time</source>
        <translation>Laufen: ein Durchfluss für eine Zeit</translation>
    </message>
    <message>
        <source>Ramp: from one rate to another</source>
        <translation>Rampe: von einem Durchfluss zum anderen</translation>
    </message>
    <message>
        <source>Wait: the pump stopped for a time</source>
        <translation>Warten: die Pumpe steht für eine Zeit</translation>
    </message>
    <message>
        <source>Prompt: wait for the operator</source>
        <translation>Rückfrage: auf den Bediener warten</translation>
    </message>
    <message>
        <source>Repeat: its steps a number of times</source>
        <translation>Wiederholen: seine Schritte mehrmals</translation>
    </message>
    <message>
        <source>New</source>
        <translation>Neu</translation>
    </message>
    <message>
        <source>Open...</source>
        <translation>Öffnen...</translation>
    </message>
    <message>
        <source>Save</source>
        <translation>Speichern</translation>
    </message>
    <message>
        <source>Save as...</source>
        <translation>Speichern unter...</translation>
    </message>
    <message>
        <source>Add step</source>
        <translation>Schritt hinzufügen</translation>
    </message>
    <message>
        <source>Remove</source>
        <translation>Entfernen</translation>
    </message>
    <message>
        <source>Up</source>
        <translation>Nach oben</translation>
    </message>
    <message>
        <source>Down</source>
        <translation>Nach unten</translation>
    </message>
    <message>
        <source>Run</source>
        <translation>Ausführen</translation>
    </message>
    <message>
        <source>Continue</source>
        <translation>Weiter</translation>
    </message>
    <message>
        <source>Name:</source>
        <translation>Name:</translation>
    </message>
    <message>
        <source>Add a step after the selected one, in the same repeat</source>
        <translation>Einen Schritt nach dem gewählten einfügen, in derselben Wiederholung</translation>
    </message>
    <message>
        <source>Move the step up; past the start of its repeat it leaves the repeat, onto a repeat it goes in</source>
        <translation>Schritt nach oben; über den Anfang seiner Wiederholung hinaus verlässt er sie, auf eine Wiederholung geht er hinein</translation>
    </message>
    <message>
        <source>Move the step down; past the end of its repeat it leaves the repeat, onto a repeat it goes in</source>
        <translation>Schritt nach unten; über das Ende seiner Wiederholung hinaus verlässt er sie, auf eine Wiederholung geht er hinein</translation>
    </message>
    <message>
        <source>Double-click a value to change it, within the pump&apos;s limits</source>
        <translation>Doppelklick auf einen Wert ändert ihn, innerhalb der Grenzen der Pumpe</translation>
    </message>
    <message>
        <source>Run the program in the table on the pump</source>
        <translation>Das Programm der Tabelle auf der Pumpe ausführen</translation>
    </message>
    <message>
        <source>Hold the program and the pump; Continue resumes the step with what remains of it</source>
        <translation>Programm und Pumpe anhalten; Weiter setzt den Schritt mit seinem Rest fort</translation>
    </message>
    <message>
        <source>End the program and stop the pump</source>
        <translation>Programm beenden und Pumpe stoppen</translation>
    </message>
    <message>
        <source>Go on with the next step</source>
        <translation>Mit dem nächsten Schritt weitermachen</translation>
    </message>
    <message>
        <source>New program</source>
        <translation>Neues Programm</translation>
    </message>
    <message>
        <source>Program</source>
        <translation>Programm</translation>
    </message>
    <message>
        <source>Open program</source>
        <translation>Programm öffnen</translation>
    </message>
    <message>
        <source>Dosing programs (*.json);;All files (*)</source>
        <translation>Dosierprogramme (*.json);;Alle Dateien (*)</translation>
    </message>
    <message>
        <source>%1 was not opened: it is no program file, or has steps that are no steps. What is wrong in it:</source>
        <translation>%1 wurde nicht geöffnet: Es ist keine Programmdatei oder enthält ungültige Schritte. Was daran falsch ist:</translation>
    </message>
    <message>
        <source>Save program</source>
        <translation>Programm speichern</translation>
    </message>
    <message>
        <source>%1 could not be written: %2</source>
        <translation>%1 konnte nicht geschrieben werden: %2</translation>
    </message>
    <message>
        <source>The program did not start: %1</source>
        <translation>Das Programm ist nicht gestartet: %1</translation>
    </message>
    <message>
        <source>The file has errors, marked in the table; it runs and saves once they are mended:</source>
        <translation>Die Datei hat Fehler, in der Tabelle markiert; sie läuft und speichert, sobald sie behoben sind:</translation>
    </message>
    <message>
        <source>No steps yet: add the first with Add step.</source>
        <translation>Noch keine Schritte: den ersten mit Schritt hinzufügen anlegen.</translation>
    </message>
    <message>
        <source>The program runs and saves once these are fixed:</source>
        <translation>Das Programm läuft und speichert, sobald diese behoben sind:</translation>
    </message>
    <message>
        <source>Checked. Steps once repeats are unrolled: %1; about %2 and %3.</source>
        <translation>Geprüft. Schritte mit aufgelösten Wiederholungen: %1; etwa %2 und %3.</translation>
    </message>
    <message>
        <source>Prompts that wait for you: %1.</source>
        <translation>Rückfragen, die auf Sie warten: %1.</translation>
    </message>
    <message>
        <source>Program changed</source>
        <translation>Programm geändert</translation>
    </message>
    <message>
        <source>The program &quot;%1&quot; has changes that are not saved. Save them first?</source>
        <translation>Das Programm „%1“ hat ungespeicherte Änderungen. Zuerst speichern?</translation>
    </message>
    <message>
        <source>Not saved yet</source>
        <translation>Noch nicht gespeichert</translation>
    </message>
    <message>
        <source>%1 (changed)</source>
        <translation>%1 (geändert)</translation>
    </message>
    <message>
        <source>Row %1: %2</source>
        <translation>Zeile %1: %2</translation>
    </message>
    <message>
        <source>step %1 of %2</source>
        <translation>Schritt %1 von %2</translation>
    </message>
    <message>
        <source>%1 of &quot;%2&quot;</source>
        <translation>%1 von „%2“</translation>
    </message>
    <message>
        <source>%1 elapsed, %2 delivered</source>
        <translation>%1 verstrichen, %2 gefördert</translation>
    </message>
    <message>
        <source>No program runs.</source>
        <translation>Kein Programm läuft.</translation>
    </message>
    <message>
        <source>Running %1: %2. %3</source>
        <translation>Läuft %1: %2. %3</translation>
    </message>
    <message>
        <source>Paused at %1: %2. %3</source>
        <translation>Pausiert bei %1: %2. %3</translation>
    </message>
    <message>
        <source>Waiting for you at %1: %2. %3</source>
        <translation>Wartet auf Sie bei %1: %2. %3</translation>
    </message>
    <message>
        <source>Ending at %1: %2; reading the pump&apos;s count. %3</source>
        <translation>Endet bei %1: %2; Zählerstand der Pumpe wird gelesen. %3</translation>
    </message>
    <message>
        <source>Done: %1 steps. %2</source>
        <translation>Fertig: %1 Schritte. %2</translation>
    </message>
    <message>
        <source>Stopped at %1: %2. %3</source>
        <translation>Gestoppt bei %1: %2. %3</translation>
    </message>
    <message>
        <source>stopped</source>
        <translation>gestoppt</translation>
    </message>
    <message>
        <source>Failed at %1: %2. %3</source>
        <translation>Fehlgeschlagen bei %1: %2. %3</translation>
    </message>
    <message>
        <source>DOSE DONE: %1 in %2</source>
        <translation>DOSIERUNG FERTIG: %1 in %2</translation>
    </message>
    <message>
        <source>RUNNING</source>
        <translation>LÄUFT</translation>
    </message>
    <message>
        <source>PAUSED</source>
        <translation>PAUSIERT</translation>
    </message>
    <message>
        <source>PRIMING</source>
        <translation>ANSAUGEN</translation>
    </message>
    <message>
        <source>STOPPED</source>
        <translation>GESTOPPT</translation>
    </message>
    <message>
        <source>%1 %</source>
        <translation>%1 %</translation>
    </message>
    <message>
        <source>ml/min</source>
        <translation>ml/min</translation>
    </message>
    <message>
        <source>The help collection was not found or cannot be read: %1</source>
        <translation>Die Hilfe wurde nicht gefunden oder kann nicht gelesen werden: %1</translation>
    </message>
    <message>
        <source>the file exists already, and a recording never overwrites a file</source>
        <translation>die Datei existiert schon, und eine Aufzeichnung überschreibt nie eine Datei</translation>
    </message>
    <message>
        <source>Cannot record to %1: %2</source>
        <translation>Aufzeichnung in %1 nicht möglich: %2</translation>
    </message>
    <message>
        <source>Cannot record: the folder %1 cannot be made</source>
        <translation>Aufzeichnung nicht möglich: Der Ordner %1 kann nicht angelegt werden</translation>
    </message>
    <message>
        <source>Recording stopped: %1 was removed or renamed</source>
        <translation>Aufzeichnung beendet: %1 wurde entfernt oder umbenannt</translation>
    </message>
    <message>
        <source>Recording stopped: writing %1 failed: %2</source>
        <translation>Aufzeichnung beendet: Schreiben von %1 fehlgeschlagen: %2</translation>
    </message>
    <message>
        <source>break-time: &quot;%1&quot; min &quot;%2&quot; s is not a whole number of minutes and seconds</source>
        <translation>Pausenzeit: „%1“ min „%2“ s ist keine ganze Zahl von Minuten und Sekunden</translation>
    </message>
    <message>
        <source>%1 h</source>
        <translation>%1 h</translation>
    </message>
    <message>
        <source>SERVICE DUE: %1</source>
        <translation>WARTUNG FÄLLIG: %1</translation>
    </message>
    <message>
        <source>%1 of %2 ml since the last service</source>
        <translation>%1 von %2 ml seit der letzten Wartung</translation>
    </message>
    <message>
        <source>%1 of %2 running hours since the last service</source>
        <translation>%1 von %2 Betriebsstunden seit der letzten Wartung</translation>
    </message>
    <message>
        <source>Record the service on the Service tab.</source>
        <translation>Die Wartung auf der Registerkarte Service eintragen.</translation>
    </message>
    <message>
        <source>SERVICE DUE</source>
        <translation>WARTUNG FÄLLIG</translation>
    </message>
    <message>
        <source>none</source>
        <translation>keine</translation>
    </message>
    <message>
        <source>Save thresholds</source>
        <translation>Schwellen speichern</translation>
    </message>
    <message>
        <source>Service due at, since the last service</source>
        <translation>Wartung fällig bei, seit der letzten Wartung</translation>
    </message>
    <message>
        <source>Running hours</source>
        <translation>Betriebsstunden</translation>
    </message>
    <message>
        <source>the whole pump</source>
        <translation>die ganze Pumpe</translation>
    </message>
    <message>
        <source>diaphragm</source>
        <translation>Membran</translation>
    </message>
    <message>
        <source>valves</source>
        <translation>Ventile</translation>
    </message>
    <message>
        <source>Record service</source>
        <translation>Wartung eintragen</translation>
    </message>
    <message>
        <source>Calibrate by weighing...</source>
        <translation>Durch Wägung kalibrieren...</translation>
    </message>
    <message>
        <source>Nominal (ml)</source>
        <translation>Nenn (ml)</translation>
    </message>
    <message>
        <source>Masses (g)</source>
        <translation>Massen (g)</translation>
    </message>
    <message>
        <source>Density (g/ml)</source>
        <translation>Dichte (g/ml)</translation>
    </message>
    <message>
        <source>Result</source>
        <translation>Ergebnis</translation>
    </message>
    <message>
        <source>Last calibrations</source>
        <translation>Letzte Kalibrierungen</translation>
    </message>
    <message>
        <source>Pump %1</source>
        <translation>Pumpe %1</translation>
    </message>
    <message>
        <source>never recorded</source>
        <translation>nie eingetragen</translation>
    </message>
    <message>
        <source>%1 (%2)</source>
        <translation>%1 (%2)</translation>
    </message>
    <message>
        <source>Runs: %1
Over its life: %2 ml in %3 h
Since the last service: %4 ml in %5 h
Last service: %6</source>
        <translation>Läufe: %1
Gesamte Lebensdauer: %2 ml in %3 h
Seit der letzten Wartung: %4 ml in %5 h
Letzte Wartung: %6</translation>
    </message>
    <message>
        <source>A threshold is a number, 0 or empty for none.</source>
        <translation>Eine Schwelle ist eine Zahl, 0 oder leer für keine.</translation>
    </message>
    <message>
        <source>Thresholds saved for %1.</source>
        <translation>Schwellen für %1 gespeichert.</translation>
    </message>
    <message>
        <source>There is no journal to record the service in.</source>
        <translation>Es gibt kein Journal, in das die Wartung eingetragen werden kann.</translation>
    </message>
    <message>
        <source>Service of %1 recorded.</source>
        <translation>Wartung von %1 eingetragen.</translation>
    </message>
    <message>
        <source>The journal is full: the service was not recorded.</source>
        <translation>Das Journal ist voll: Die Wartung wurde nicht eingetragen.</translation>
    </message>
    <message>
        <source>Record a service?</source>
        <translation>Eine Wartung eintragen?</translation>
    </message>
    <message>
        <source>The pump is in its maintenance position. Record a service of %1 in the journal?</source>
        <translation>Die Pumpe ist in ihrer Wartungsposition. Eine Wartung von %1 ins Journal eintragen?</translation>
    </message>
    <message>
        <source>Diaphragm</source>
        <translation>Membran</translation>
    </message>
    <message>
        <source>Valves</source>
        <translation>Ventile</translation>
    </message>
    <message>
        <source>Whole pump</source>
        <translation>Ganze Pumpe</translation>
    </message>
    <message>
        <source>Not now</source>
        <translation>Jetzt nicht</translation>
    </message>
    <message>
        <source>%1 % sent</source>
        <translation>%1 % gesendet</translation>
    </message>
    <message>
        <source>%1 % not sent</source>
        <translation>%1 % nicht gesendet</translation>
    </message>
    <message>
        <source>Prime: the pump&apos;s prime key for a time</source>
        <translation>Ansaugen: die Ansaugtaste der Pumpe für eine Zeit</translation>
    </message>
</context>
</TS>
