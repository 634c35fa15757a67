/*
 * CoreFoundation.h: the whole CoreFoundation stand-in (objects, strings,
 * URLs, bundles). Ownership rules are in each header.
 */
#ifndef QUELVANE_COREFOUNDATION_H
#define QUELVANE_COREFOUNDATION_H

#include "corefoundation/CFBase.h"
#include "corefoundation/CFBundle.h"
#include "corefoundation/CFString.h"
#include "corefoundation/CFURL.h"

#endif /* QUELVANE_COREFOUNDATION_H */
