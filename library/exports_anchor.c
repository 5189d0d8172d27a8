/* The exports live in the static core; this file only gives the shared
 * library a source of its own. */
typedef int dravik_exports_anchor;
