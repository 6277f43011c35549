// Loaded into the real program by tst_database_faults (QT_QPA_GENERIC_PLUGINS):
// under X a message box's text cannot be read from outside the process, so
// this writes the title, icon and text of every box the program shows to
// stderr, one line each. It only watches; it changes nothing.
#include <QCoreApplication>
#include <QEvent>
#include <QGenericPlugin>
#include <QMessageBox>

#include <cstdio>

namespace {

class BoxProbe : public QObject
{
public:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Show) {
            if (const auto *box = qobject_cast<const QMessageBox *>(watched)) {
                QString text = box->text();
                text.replace(QLatin1Char('\n'), QLatin1String("\\n"));
                const QByteArray line = QStringLiteral("box-probe\t%1\t%2\t%3\n")
                                            .arg(int(box->icon()))
                                            .arg(box->windowTitle(), text)
                                            .toUtf8();
                std::fputs(line.constData(), stderr);
                std::fflush(stderr);
            }
        }
        return false;
    }
};

} // namespace

class BoxProbePlugin : public QGenericPlugin
{
    Q_OBJECT
    Q_PLUGIN_METADATA(IID QGenericPluginFactoryInterface_iid FILE "box_probe.json")
public:
    QObject *create(const QString &key, const QString &) override
    {
        if (key.compare(QLatin1String("vennaliboxprobe"), Qt::CaseInsensitive) != 0)
            return nullptr;
        // The application keeps the plugins' objects and deletes them as it ends.
        auto *probe = new BoxProbe;
        QCoreApplication::instance()->installEventFilter(probe);
        return probe;
    }
};

#include "box_probe.moc"
