// A player module as an older version of the program built it: the same kind of Qt plugin,
// declaring an earlier version of the module interface. The program must refuse it.
#include <QObject>
#include <QtPlugin>

class OtherVersionModule : public QObject
{
    Q_OBJECT
    Q_PLUGIN_METADATA(IID "org.lumenquill.MoviePlayerModule/0")
};

#include "OtherVersionModule.moc"
