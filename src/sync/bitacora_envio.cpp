#include "bitacora_envio.h"

Q_LOGGING_CATEGORY(lcNombres, "vendaro.envio")
