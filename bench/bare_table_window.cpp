// The yardstick for "start-up to the table painted": a bare window of the
// main window's client size that shows three lines of the table's numbers in
// the table's font (Verdana 20 pt, black), so that it pays for the font
// database and one font engine, as the main window must before its table is
// on the screen.

#include <QApplication>
#include <QFont>
#include <QPainter>
#include <QWidget>

namespace {

class TableText : public QWidget {
protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        QFont font(QStringLiteral("Verdana"));
        font.setPointSize(20);
        p.setFont(font);
        p.setPen(Qt::black);
        const char* lines[] = {" 483  912  375  64  81  27  5",
                               " 716  258  649  39  52  93  8",
                               " 925  641  128  57  16  48  3"};
        int y = 120;
        for (const char* line : lines) {
            p.drawText(70, y, QString::fromLatin1(line));
            y += 34;
        }
    }
};

} // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QFont::insertSubstitution(QStringLiteral("Verdana"), QStringLiteral("DejaVu Sans"));
    TableText window;
    window.setWindowTitle(QStringLiteral("Bare with the table's text"));
    window.setFixedSize(651, 451);
    window.show();
    return QApplication::exec();
}
