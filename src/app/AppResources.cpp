#include "app/AppResources.h"

#include <QtGlobal>

static void InitialiseTalvoreResources() {
    Q_INIT_RESOURCE(talvore);
    Q_INIT_RESOURCE(talvore_i18n);
}

void EnsureAppResources() {
    static const bool done = (InitialiseTalvoreResources(), true);
    (void)done;
}
