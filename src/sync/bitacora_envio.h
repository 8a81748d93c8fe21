#pragma once

#include <QLoggingCategory>

// The send run's log lines ("vendaro.envio"), written by every part of the run.
Q_DECLARE_LOGGING_CATEGORY(lcNombres)
