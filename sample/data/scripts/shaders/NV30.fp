!!FP1.0
# NV30 light pass, with NV30.vp.
# Reads: texture 0 the normal map, 1 the colour, 2 the specular map (2D, texcoord 0); texture 3 the
# normalization cube; texture 4 the light's cube (texcoord 4); texcoord 1 the light vector and 2 the
# half vector in tangent space, 3 the light vector over the radius; the primary colour the light colour.
# Writes: colour = light colour x (1 - cube) x (colour x N.L + specular x (N.H)^16); alpha = |d|^2,
# the complement of the attenuation (blended with ONE_MINUS_SRC_ALPHA, ONE).
DEFINE one = {1, 1, 1, 1};
DEFINE shine = {16, 16, 16, 16};
TEX R0, f[TEX0], TEX0, 2D;
DP3R R4.w, R0, R0;
RSQR R4.w, R4.w;
MULR R0.xyz, R0, R4.w;
TEX R1, f[TEX1], TEX3, CUBE;
TEX R2, f[TEX2], TEX3, CUBE;
DP3R_SAT R4.x, R0, R1;
DP3R_SAT R4.y, R0, R2;
POWR R4.y, R4.y, shine.x;
TEX R5, f[TEX0], TEX1, 2D;
TEX R6, f[TEX0], TEX2, 2D;
TEX R7, f[TEX4], TEX4, CUBE;
MULR R8, R5, R4.x;
MADR R8, R6, R4.y, R8;
ADDR R7, one, -R7;
MULR R8, R8, R7;
MULR o[COLR].xyz, R8, f[COL0];
DP3R o[COLR].w, f[TEX3], f[TEX3];
END
