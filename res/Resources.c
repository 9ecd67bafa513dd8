#include "Resources.h"

#include <gio/gio.h>

/* Provided by the source glib-compile-resources generates with
 * --c-name sonovert_res --manual-register. The register function creates the
 * bundle and registers it; before that the get function returns NULL, so
 * g_resources_register(sonovert_res_get_resource()) alone would not work. */
void sonovert_res_register_resource(void);
GResource *sonovert_res_get_resource(void);

void sonovert_res_ensure_registered(void)
{
    /* g_once: registering twice would make every lookup see the bundle twice,
       and two threads may reach the first lookup together. */
    static gsize done = 0;
    if (g_once_init_enter(&done)) {
        sonovert_res_register_resource();
        g_warn_if_fail(sonovert_res_get_resource() != NULL);
        g_once_init_leave(&done, 1);
    }
}
