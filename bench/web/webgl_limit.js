// The browser's limit for the viewer's frame: the same textured triangles,
// uploaded once into one buffer, drawn twice a frame by plain WebGL with the
// viewer's transforms, texture, depth and blend state, on a canvas with the
// context the viewer's GLUT window gets. Only what the browser itself must do.
"use strict";

function makeWebglLimit(canvas, corners, rgba, width, height) {
  // Emscripten's GLUT asks for exactly these for GLUT_RGB | GLUT_DOUBLE | GLUT_DEPTH.
  const gl = canvas.getContext("webgl", { antialias: false, alpha: false, depth: true, stencil: false });
  if (!gl)
    throw new Error("no WebGL context for the limit");

  const compile = (kind, source) => {
    const shader = gl.createShader(kind);
    gl.shaderSource(shader, source);
    gl.compileShader(shader);
    if (!gl.getShaderParameter(shader, gl.COMPILE_STATUS))
      throw new Error(gl.getShaderInfoLog(shader));
    return shader;
  };
  const program = gl.createProgram();
  gl.attachShader(program, compile(gl.VERTEX_SHADER, `
    attribute vec2 uv;
    attribute vec3 position;
    uniform mat4 projection, modelview;
    varying vec2 v_uv;
    void main() {
      v_uv = uv;
      gl_Position = projection * (modelview * vec4(position, 1.0));
    }`));
  // GL_REPLACE: the fragment is the texel.
  gl.attachShader(program, compile(gl.FRAGMENT_SHADER, `
    precision mediump float;
    uniform sampler2D texture;
    varying vec2 v_uv;
    void main() { gl_FragColor = texture2D(texture, v_uv); }`));
  gl.linkProgram(program);
  if (!gl.getProgramParameter(program, gl.LINK_STATUS))
    throw new Error(gl.getProgramInfoLog(program));
  gl.useProgram(program);

  gl.bindBuffer(gl.ARRAY_BUFFER, gl.createBuffer());
  gl.bufferData(gl.ARRAY_BUFFER, corners, gl.STATIC_DRAW);
  const uv = gl.getAttribLocation(program, "uv");
  const position = gl.getAttribLocation(program, "position");
  gl.vertexAttribPointer(uv, 2, gl.FLOAT, false, 20, 0);
  gl.vertexAttribPointer(position, 3, gl.FLOAT, false, 20, 8);
  gl.enableVertexAttribArray(uv);
  gl.enableVertexAttribArray(position);
  const count = corners.length / 5;

  // The viewer's texture: its rows as decoded, mipmapped, repeating.
  if ((width & (width - 1)) || (height & (height - 1)))
    throw new Error("the limit takes a texture of power-of-two sides only");
  gl.bindTexture(gl.TEXTURE_2D, gl.createTexture());
  gl.texImage2D(gl.TEXTURE_2D, 0, gl.RGBA, width, height, 0, gl.RGBA, gl.UNSIGNED_BYTE, rgba);
  gl.generateMipmap(gl.TEXTURE_2D);
  gl.texParameteri(gl.TEXTURE_2D, gl.TEXTURE_WRAP_S, gl.REPEAT);
  gl.texParameteri(gl.TEXTURE_2D, gl.TEXTURE_WRAP_T, gl.REPEAT);
  gl.texParameteri(gl.TEXTURE_2D, gl.TEXTURE_MAG_FILTER, gl.LINEAR);
  gl.texParameteri(gl.TEXTURE_2D, gl.TEXTURE_MIN_FILTER, gl.LINEAR_MIPMAP_NEAREST);
  gl.uniform1i(gl.getUniformLocation(program, "texture"), 0);

  // Column-major 4 x 4 matrices, as OpenGL keeps them.
  const times = (a, b) => {
    const out = new Float32Array(16);
    for (let col = 0; col < 4; ++col)
      for (let row = 0; row < 4; ++row)
        for (let k = 0; k < 4; ++k)
          out[col * 4 + row] += a[k * 4 + row] * b[col * 4 + k];
    return out;
  };
  const translate = (x, y, z) => new Float32Array([1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, x, y, z, 1]);
  const rotate = (degrees, axis) => {
    const c = Math.cos(degrees * Math.PI / 180), s = Math.sin(degrees * Math.PI / 180);
    return axis == "y" ? new Float32Array([c, 0, -s, 0, 0, 1, 0, 0, s, 0, c, 0, 0, 0, 0, 1])
                       : new Float32Array([c, s, 0, 0, -s, c, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1]);
  };
  // gluPerspective(45, width / height, 10, 10000), as viewer_reshape sets it.
  const near = 10, far = 10000, f = 1 / Math.tan(45 / 2 * Math.PI / 180);
  gl.uniformMatrix4fv(gl.getUniformLocation(program, "projection"), false, new Float32Array([
    f * canvas.height / canvas.width, 0, 0, 0, 0, f, 0, 0,
    0, 0, (far + near) / (near - far), -1, 0, 0, 2 * far * near / (near - far), 0]));
  const modelview = gl.getUniformLocation(program, "modelview");

  gl.viewport(0, 0, canvas.width, canvas.height);
  gl.clearColor(0, 0, 0, 0);
  gl.enable(gl.DEPTH_TEST);
  gl.clear(gl.COLOR_BUFFER_BIT | gl.DEPTH_BUFFER_BIT);
  const pixel = new Uint8Array(4);

  // One frame as viewer_frame draws it, at `angle` degrees, waited for as
  // the viewer's frame is: one pixel read back.
  const frame = (angle) => {
    gl.enable(gl.BLEND);
    gl.depthMask(false);
    gl.blendFunc(gl.SRC_COLOR, gl.SRC_COLOR);
    gl.clear(gl.COLOR_BUFFER_BIT | gl.DEPTH_BUFFER_BIT);
    let m = times(translate(0, 0, -19), rotate(angle, "y"));
    m = times(times(m, rotate(40, "z")), translate(0, 0, -3));
    gl.uniformMatrix4fv(modelview, false, m);
    gl.drawArrays(gl.TRIANGLES, 0, count);
    gl.uniformMatrix4fv(modelview, false, times(m, translate(0, 0, 6)));
    gl.drawArrays(gl.TRIANGLES, 0, count);
    gl.depthMask(true);
    gl.readPixels(0, 0, 1, 1, gl.RGBA, gl.UNSIGNED_BYTE, pixel);
  };
  return { gl, frame };
}
