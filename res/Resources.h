/* Access to the pictures compiled into the program. */
#ifndef SONOVERT_RES_RESOURCES_H
#define SONOVERT_RES_RESOURCES_H

#ifdef __cplusplus
extern "C" {
#endif

/* Registers the built-in resource bundle (prefix /org/varnolt/sonovert).
 * Call before the first lookup; later calls do nothing. Needed because the
 * bundle lives in a static library and registers only when asked. */
void sonovert_res_ensure_registered(void);

#ifdef __cplusplus
}
#endif

#endif
