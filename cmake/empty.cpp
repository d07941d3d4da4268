// Placeholder so that a subsystem library with no sources yet still builds.
