#pragma once

// How the movie plug-in finds the engine it forwards to: a library beside its own, and the one
// function that library exports.

#define FT_MOVIE_ENGINE_FILE "frametide_movie_engine.so"
#define FT_MOVIE_ENGINE_ENTRIES_SYMBOL "ft_movie_engine_entries"
