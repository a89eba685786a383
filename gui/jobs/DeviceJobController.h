// What the four device-job controllers share: the worker thread they own, the worker's lifetime tied to
// that thread, and the teardown that waits for the job. Each controller adds its own typed signals.
//
// Use from the window (main thread):
//     auto* job = new ReadDeviceDataController(this);
//     connect(job, &ReadDeviceDataController::jobFinished, this, &MainWindow::handleReadDevice);
//     job->Start(&m_data, &m_settings);
//     ... in the handler, after using the result: job->deleteLater();
// Everything passed by pointer must stay alive and untouched until jobFinished has arrived.
#pragma once

#include <QObject>
#include <QPointer>
#include <QThread>

class DeviceJobController : public QObject {
    Q_OBJECT

public:
    ~DeviceJobController() override;

    // The worker while it lives; it is released when the thread ends, at the latest when the
    // controller is destroyed.
    QPointer<QObject> worker() const { return m_worker; }

protected:
    explicit DeviceJobController(QObject* parent);

    // Moves the worker (made without parent) to the job thread; the thread releases it when it ends.
    void adoptWorker(QObject* worker);
    void startThread();
    // Asks the thread to quit and waits for it without limit. A derived controller whose members the
    // worker thread touches calls this first in its own destructor.
    void stopThread();
    // Asks the thread to quit and waits up to `ms`; true once it has ended.
    [[nodiscard]] bool waitThread(unsigned long ms);
    // Around the queued signals to and from the worker: see JobHandover.h.
    void handOverToWorker() const;
    void takeOverFromWorker() const;

private:
    QThread m_thread;
    QPointer<QObject> m_worker;
};

// Registers the pointer types the jobs pass between threads, once per process.
void registerDeviceJobTypes();
