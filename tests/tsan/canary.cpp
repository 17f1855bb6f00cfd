// Built only into the ThreadSanitizer check, and run by it: a plain int that a
// QThread and the GUI thread both write with nothing between them. The check
// fails unless ThreadSanitizer reports this race, so a suppression that hides
// the races between our threads cannot go unnoticed.
#include <QCoreApplication>
#include <QThread>

namespace {
int shared = 0;
}

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QThread *writer = QThread::create([] { shared = 1; });
    writer->start();
    shared = 2;
    writer->wait();
    delete writer;
    return shared > 0 ? 0 : 1;
}
