// The keys and files behind the settings: the user's through QSettings, the
// computer's [Schule] section by hand, the sender's state as an ini file.

#include "platform/Settings.h"

#include <QFile>
#include <QFileInfo>
#include <QSettings>

#include <sys/stat.h>

namespace settings {

namespace {

const QString kSwitchKey = QStringLiteral("Verlauf/Aufzeichnen");
const QString kNameKey = QStringLiteral("Verlauf/Name");
const QString kProblemKey = QStringLiteral("Verlauf/Problem");
const QString kDamagedKey = QStringLiteral("Verlauf/Beschaedigt");
const QString kGapsKey = QStringLiteral("Verlauf/Luecken");
const QString kGapSinceKey = QStringLiteral("Verlauf/LueckeSeit");
const QString kGapAnswersKey = QStringLiteral("Verlauf/LueckeAntworten");
const QString kLogsToldKey = QStringLiteral("Verlauf/ProtokolleGemeldet");

} // namespace

User::User() : s_(std::make_unique<QSettings>(QStringLiteral("Rechenkov"), QStringLiteral("Rechenkov"))) {}

User::~User() = default;

bool User::RecordingOn() const { return s_->value(kSwitchKey, false).toBool(); }
void User::SetRecordingOn(bool on) { s_->setValue(kSwitchKey, on); }

QString User::LastName() const { return s_->value(kNameKey).toString(); }
void User::SetLastName(const QString& name) { s_->setValue(kNameKey, name); }

bool User::HasProblem() const { return s_->contains(kProblemKey); }
QString User::Problem() const { return s_->value(kProblemKey).toString(); }
void User::SetProblem(const QString& reason) { s_->setValue(kProblemKey, reason); }
void User::RemoveProblem() { s_->remove(kProblemKey); }

bool User::HasDamagedFile() const { return s_->contains(kDamagedKey); }
QString User::DamagedFile() const { return s_->value(kDamagedKey).toString(); }
void User::SetDamagedFile(const QString& file) { s_->setValue(kDamagedKey, file); }
void User::RemoveDamagedFile() { s_->remove(kDamagedKey); }

QStringList User::Gaps() const { return s_->value(kGapsKey).toStringList(); }
void User::SetGaps(const QStringList& gaps) { s_->setValue(kGapsKey, gaps); }
void User::RemoveGaps() { s_->remove(kGapsKey); }

bool User::HasGapSince() const { return s_->contains(kGapSinceKey); }
QDateTime User::GapSince() const { return s_->value(kGapSinceKey).toDateTime(); }
void User::SetGapSince(const QDateTime& since) { s_->setValue(kGapSinceKey, since); }
int User::GapAnswers() const { return s_->value(kGapAnswersKey, 0).toInt(); }
void User::SetGapAnswers(int answers) { s_->setValue(kGapAnswersKey, answers); }
void User::RemoveOpenGap()
{
    s_->remove(kGapSinceKey);
    s_->remove(kGapAnswersKey);
}

QStringList User::LogsTold() const { return s_->value(kLogsToldKey).toStringList(); }
void User::SetLogsTold(const QStringList& logs) { s_->setValue(kLogsToldKey, logs); }

bool User::Save()
{
    s_->sync();
    const QString file = s_->fileName();
    // A folder reached through a symbolic link is someone's arrangement, and left as it is.
    if (QFileInfo::exists(file) && !QFileInfo(file).isSymLink() && !QFileInfo(QFileInfo(file).absolutePath()).isSymLink()) {
        ::chmod(QFile::encodeName(file).constData(), 0600);
        ::chmod(QFile::encodeName(QFileInfo(file).absolutePath()).constData(), 0700);
    }
    return s_->status() == QSettings::NoError;
}

QStringList SchoolFiles()
{
    QStringList folders = qEnvironmentVariable("XDG_CONFIG_DIRS").split(QLatin1Char(':'), Qt::SkipEmptyParts);
    if (folders.isEmpty())
        folders << QStringLiteral("/etc/xdg");
    for (QString& folder : folders)
        folder += QStringLiteral("/Rechenkov/Rechenkov.conf");
    return folders;
}

School ReadSchool(const QStringList& files)
{
    // Read by hand rather than through QSettings, which takes a value with a
    // comma for a list and gives '"' and '\' meanings of its own: libpq's
    // "host=a,b port=5432,5433" and a password with a comma must arrive as
    // the administrator wrote them.
    School result;
    QString sectionFile, connectionFile;
    bool haveConnection = false, haveClass = false;
    for (const QString& path : files) {
        QFile file(path);
        if (!file.exists())
            continue;
        if (!file.open(QIODevice::ReadOnly)) {
            if (result.problem.isEmpty())
                result.problem = QStringLiteral("Die Einstellungen in %1 sind nicht lesbar.\nTechnische Angabe: %2")
                                     .arg(path, file.errorString());
            continue;
        }
        QString text = QString::fromUtf8(file.readAll());
        if (text.startsWith(QChar(0xFEFF)))
            text.remove(0, 1);
        bool inSection = false;
        int number = 0;
        for (const QString& raw : text.split(QLatin1Char('\n'))) {
            ++number;
            const QString line = raw.trimmed();
            if (line.isEmpty() || line.startsWith(QLatin1Char(';')) || line.startsWith(QLatin1Char('#')))
                continue;
            if (line.startsWith(QLatin1Char('['))) {
                const int end = line.lastIndexOf(QLatin1Char(']'));
                inSection = end > 0 && line.mid(1, end - 1).trimmed().compare(QLatin1String("Schule"), Qt::CaseInsensitive) == 0;
                if (inSection && sectionFile.isEmpty())
                    sectionFile = path;
                continue;
            }
            if (!inSection)
                continue;
            const int eq = line.indexOf(QLatin1Char('='));
            if (eq < 0) {
                if (result.problem.isEmpty())
                    result.problem = QStringLiteral("In %1 steht in Zeile %2 (Abschnitt [Schule]) kein „=“: %3")
                                         .arg(path).arg(number).arg(line);
                continue;
            }
            const QString key = line.left(eq).trimmed();
            QString value = line.mid(eq + 1).trimmed();
            // A value written by QSettings itself comes in double quotes.
            if (value.size() >= 2 && value.startsWith(QLatin1Char('"')) && value.endsWith(QLatin1Char('"'))) {
                QString inner;
                for (int i = 1; i < value.size() - 1; ++i) {
                    if (value[i] == QLatin1Char('\\') && i + 2 < value.size()
                        && (value[i + 1] == QLatin1Char('"') || value[i + 1] == QLatin1Char('\\')))
                        ++i;
                    inner += value[i];
                }
                value = inner;
            }
            // The first file in the search order wins, key by key.
            if (key.compare(QLatin1String("Verbindung"), Qt::CaseInsensitive) == 0 && !haveConnection) {
                haveConnection = true;
                result.connection = value;
                connectionFile = path;
            } else if (key.compare(QLatin1String("Klasse"), Qt::CaseInsensitive) == 0 && !haveClass) {
                haveClass = true;
                result.klasse = value;
            }
        }
    }
    result.file = !connectionFile.isEmpty() ? connectionFile : !sectionFile.isEmpty() ? sectionFile : files.value(0);
    if (!sectionFile.isEmpty() && result.connection.trimmed().isEmpty() && result.problem.isEmpty())
        result.problem = QStringLiteral("In %1 steht ein Abschnitt [Schule], aber keine Verbindung= mit Inhalt; so "
                                        "sendet dieser Rechner nichts an den Schulserver.")
                             .arg(result.file);
    return result;
}

SendState ReadSendState(const QString& path)
{
    QSettings s(path, QSettings::IniFormat);
    SendState st;
    st.source = s.value(QStringLiteral("Quelle")).toString();
    st.answersUpTo = s.value(QStringLiteral("Antworten/Bis"), 0).toLongLong();
    st.answersTime = s.value(QStringLiteral("Antworten/Zeit")).toString();
    st.gamesUpTo = s.value(QStringLiteral("Spiele/Bis"), 0).toLongLong();
    st.gamesTime = s.value(QStringLiteral("Spiele/Zeit")).toString();
    st.failingSince = QDateTime::fromString(s.value(QStringLiteral("Stoerung/Seit")).toString(), Qt::ISODate);
    st.reason = s.value(QStringLiteral("Stoerung/Grund")).toString();
    st.waiting = s.value(QStringLiteral("Wartend"), 0).toLongLong();
    return st;
}

bool WriteSendState(const QString& path, const SendState& st)
{
    QSettings s(path, QSettings::IniFormat);
    s.setValue(QStringLiteral("Quelle"), st.source);
    s.setValue(QStringLiteral("Antworten/Bis"), st.answersUpTo);
    s.setValue(QStringLiteral("Antworten/Zeit"), st.answersTime);
    s.setValue(QStringLiteral("Spiele/Bis"), st.gamesUpTo);
    s.setValue(QStringLiteral("Spiele/Zeit"), st.gamesTime);
    if (st.failingSince.isValid()) {
        s.setValue(QStringLiteral("Stoerung/Seit"), st.failingSince.toString(Qt::ISODate));
        s.setValue(QStringLiteral("Stoerung/Grund"), st.reason);
    } else {
        s.remove(QStringLiteral("Stoerung"));
    }
    s.setValue(QStringLiteral("Wartend"), st.waiting);
    s.sync();
    // Like the record beside it, for its owner alone.
    QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    return s.status() == QSettings::NoError;
}

} // namespace settings
